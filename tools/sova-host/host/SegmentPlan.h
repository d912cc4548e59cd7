// SPDX-License-Identifier: MIT
// Where a parallel encode cuts a file. Layer II frames carry no bit reservoir, so a segment
// encoded on its own gives the serial encode's frames once the encoder has seen a few frames
// before them (kLeadFrames, dropped when the segments are joined: 1 gave the serial bytes for every
// model, mode and flag tested, 0 for none; 2 leaves a margin). Padding at 44.1 and 22.05 kHz
// follows a running remainder from the start of the stream that repeats every 49 frames (7 at
// some bitrates), so every segment starts encoding at a multiple of 49 frames: the remainder
// there is the serial encode's.
#pragma once

#include <cstdint>
#include <vector>

namespace sovahost {
inline constexpr int64_t kLayerTwoFrameSamples = 1152;
inline constexpr int64_t kLeadFrames = 2;
inline constexpr int64_t kPaddingPeriodFrames = 49;
// Segments shorter than this (in frames, 6 s at 44.1 kHz) are not worth a process: a segment
// costs its process and the join, about what encoding 6 s saves, so two jobs pay from about
// 12 s (bench/encode_jobs).
inline constexpr int64_t kDefaultSegmentFrames = 230;

struct Segment {
    int64_t encodeFrom = 0; // first sample handed to the segment's encoder (a multiple of 49 frames)
    int64_t keepFrom = 0;   // first sample of the frames kept from it
    int64_t end = 0;        // samples handed over end here (the next segment's keepFrom, or the file's end)
    bool last = false;      // the segment's encoder flushes the end of the file
    int64_t LeadFrames() const { return (keepFrom - encodeFrom) / kLayerTwoFrameSamples; }
    int64_t KeptFrames() const { return (end - keepFrom) / kLayerTwoFrameSamples; } // all for the last
};

// The segments for `samples` samples per channel and at most `jobs` processes, each of at least
// `minFrames` frames; a single segment means the serial encode is the one to run.
std::vector<Segment> PlanSegments(int64_t samples, int jobs, int64_t minFrames);
} // namespace sovahost
