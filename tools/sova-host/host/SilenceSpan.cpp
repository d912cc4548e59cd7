// SPDX-License-Identifier: MIT
#include "host/SilenceSpan.h"

#include <algorithm>
#include <cmath>

namespace sovahost {
SilenceSpan::SilenceSpan(double thresholdDbfs)
    : thresholdDbfs_(thresholdDbfs), threshold_(static_cast<float>(std::pow(10.0, thresholdDbfs / 20))) {}

void SilenceSpan::Add(const float* const* channels, int32_t channelCount, int64_t frames) {
    int64_t first = -1, last = -1; // loud frames of this block
    for (int32_t c = 0; c < channelCount; ++c) {
        const float* samples = channels[c];
        int64_t i = 0;
        for (; i < frames && std::fabs(samples[i]) < threshold_; ++i) {}
        if (i == frames) continue;
        if (first < 0 || i < first) first = i;
        int64_t j = frames - 1;
        for (; j > i && std::fabs(samples[j]) < threshold_; --j) {}
        last = std::max(last, j);
    }
    if (first >= 0) {
        if (firstLoud_ < 0) firstLoud_ = frames_ + first;
        lastLoud_ = frames_ + last;
    }
    frames_ += frames;
}
} // namespace sovahost
