// SPDX-License-Identifier: MIT
// Where encode --jobs cuts a file: the kept frames follow each other without gap or overlap,
// every segment starts encoding at a multiple of the padding period with its lead before the
// frames it keeps, the segments' work is even, and files too short for two segments get one.
#include <gtest/gtest.h>

#include "host/SegmentPlan.h"

namespace {
using namespace sovahost;

TEST(SegmentPlan, KeptFramesTileTheFileAndTheWorkIsEven) {
    for (const int64_t samples : {int64_t{26'460'000}, int64_t{542'430}, int64_t{117'504}, int64_t{1'000'003}}) {
        for (const int jobs : {2, 3, 8}) {
            SCOPED_TRACE(std::to_string(samples) + " samples, " + std::to_string(jobs) + " jobs");
            const std::vector<Segment> segments = PlanSegments(samples, jobs, 1);
            ASSERT_GE(segments.size(), 2u);
            int64_t kept = 0, least = INT64_MAX, most = 0;
            for (size_t i = 0; i < segments.size(); ++i) {
                const Segment& segment = segments[i];
                EXPECT_EQ(segment.keepFrom, kept);
                EXPECT_EQ(segment.encodeFrom % (kPaddingPeriodFrames * kLayerTwoFrameSamples), 0);
                EXPECT_EQ(segment.LeadFrames(), i == 0 ? 0 : kLeadFrames);
                EXPECT_EQ(segment.last, i + 1 == segments.size());
                EXPECT_LT(segment.keepFrom, segment.end);
                kept = segment.end;
                const int64_t work = segment.end - segment.encodeFrom;
                least = std::min(least, work), most = std::max(most, work);
            }
            EXPECT_EQ(kept, samples);
            // Every cut within half a period of an even one: two segments differ by at most a period
            // and the lead (and the last one's partial frame), more segments by twice that period.
            const int64_t periods = segments.size() == 2 ? 1 : 2;
            EXPECT_LE(most - least, (periods * kPaddingPeriodFrames + kLeadFrames + 1) * kLayerTwoFrameSamples);
        }
    }
}

TEST(SegmentPlan, ShortFilesGetFewerSegments) {
    EXPECT_EQ(PlanSegments(44100 * 5, 2, kDefaultSegmentFrames).size(), 1u);
    EXPECT_EQ(PlanSegments(2 * kDefaultSegmentFrames * kLayerTwoFrameSamples, 4, kDefaultSegmentFrames).size(), 2u);
    EXPECT_EQ(PlanSegments(100 * kLayerTwoFrameSamples, 8, 1).size(), 1u); // below two periods and their leads
    EXPECT_EQ(PlanSegments(1000 * kLayerTwoFrameSamples, 8, 1).size(), 8u);
}
} // namespace
