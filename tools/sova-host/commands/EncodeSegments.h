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
    // Set when the feed passes the source through (SampleFeed::PassesSourceThrough): each segment
    // then opens this file itself and reads its part from its own offset, and nothing is converted.
    std::string sourcePath;
    // Told, once every segment has ended, what each one encoded and the CPU time it took (for -v).
    std::function<void(const std::string&)> detail;
};

// Converts all of feed's samples once into a temporary file beside outPath while the segments,
// started at once, encode their parts of it side by side (or, with job.sourcePath, lets each
// segment read the source itself and leaves feed unread), and writes the joined frames to
// outPath; returns the samples encoded. Throws
// std::runtime_error when a segment fails (the others are stopped; outPath is then incomplete
// and the caller removes it). Forked children inherit the started module and use only the
// writer selectors 17, 18 and 19; they end with this process.
int64_t EncodeInSegments(const SegmentedEncode& job, SampleFeed& feed, const std::string& outPath, ProgressBar& progress);
} // namespace sovahost
