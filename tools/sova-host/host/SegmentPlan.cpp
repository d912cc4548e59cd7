// SPDX-License-Identifier: MIT
#include "host/SegmentPlan.h"

#include <algorithm>

namespace sovahost {
std::vector<Segment> PlanSegments(int64_t samples, int jobs, int64_t minFrames) {
    const int64_t frames = (samples + kLayerTwoFrameSamples - 1) / kLayerTwoFrameSamples;
    // Segments of at least one padding period and a lead keep the cuts distinct and increasing.
    const int64_t shortest = std::max(minFrames, kPaddingPeriodFrames + kLeadFrames);
    const int64_t count = std::max<int64_t>(1, std::min<int64_t>(jobs, frames / shortest));
    std::vector<Segment> segments;
    segments.push_back(Segment{0, 0, samples, true});
    for (int64_t i = 1; i < count; ++i) {
        // The multiple of the padding period nearest to an even cut: each segment's work is within
        // a period and the lead of an even share.
        const int64_t even = frames * i / count;
        const int64_t startFrame = (even + kPaddingPeriodFrames / 2) / kPaddingPeriodFrames * kPaddingPeriodFrames;
        Segment next;
        next.encodeFrom = startFrame * kLayerTwoFrameSamples;
        next.keepFrom = (startFrame + kLeadFrames) * kLayerTwoFrameSamples;
        next.end = samples;
        next.last = true;
        segments.back().end = next.keepFrom;
        segments.back().last = false;
        segments.push_back(next);
    }
    return segments;
}
} // namespace sovahost
