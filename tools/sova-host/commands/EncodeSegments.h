// SPDX-License-Identifier: MIT
// encode --jobs: the file cut into segments (host/SegmentPlan.h), each encoded by the module in a
// child process of its own, and the kept frames joined into the output, byte for byte the
// frames of the serial encode.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "module/HostModule.h"
#include "module/HostObjects.h"
#include "host/ProgressBar.h"
#include "host/SampleFeed.h"

namespace sovahost {
struct SegmentedEncode {
    const HostModule* plugIn = nullptr; // started, and staying so while the segments run
    MessageSink* sink = nullptr;
    AudioFormat format;                 // the negotiated format each segment's writer is opened with
    int64_t blockFrames = 16384;        // frames per selector 18
    int jobs = 2;
    int64_t minFrames = 0;              // the shortest segment, in frames
    int64_t expectedSamples = 0;        // per channel, as converted: where the cuts are planned
    // Set when the feed reads frame by frame (SampleFeed::ReadsFrameByFrame): each segment then
    // opens this file itself and reads its part from its own offset through a replica of the feed,
    // and the parent converts nothing.
    std::string sourcePath;
    // Told, once every segment has ended, what each one encoded and the CPU time it took (for -v).
    std::function<void(const std::string&)> detail;
};

struct SegmentsDone {
    int64_t samples = 0;       // encoded, per channel
    int64_t overFullScale = 0; // samples beyond full scale handed over (the module clips them)
};

// Converts all of feed's samples once into a temporary file beside outPath while the segments,
// started at once, encode their parts of it side by side (or, with job.sourcePath, lets each
// segment read the source itself through a replica of feed, and leaves feed unread), and writes
// the joined frames to outPath. Throws
// std::runtime_error when a segment fails (the others are stopped; outPath is then incomplete
// and the caller removes it). Forked children inherit the started module and use only the
// writer selectors 17, 18 and 19; they end with this process.
SegmentsDone EncodeInSegments(const SegmentedEncode& job, SampleFeed& feed, const std::string& outPath, ProgressBar& progress);
} // namespace sovahost
