// SPDX-License-Identifier: MIT
// Damage in a stream, from its two readings: the walk of its frame headers (where the stream
// breaks, what it promises) and the module's decoding (where the decoder failed, what it
// delivered). Loss is counted against what the headers promise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/FrameWalk.h"
#include "host/ReadThrough.h"

namespace sovahost {
struct StreamDamage {
    std::vector<StreamProblem> problems;  // from the headers, in the order of the file
    std::vector<double> decoderFailedAt;  // seconds of audio delivered before each decoder failure
    bool gaveUp = false;                  // the decoder delivered nothing after its last failure
    std::optional<int64_t> promised;      // samples per channel the headers promise; unknown without a walk
    int64_t delivered = 0;                // samples per channel the module delivered

    int64_t Lost() const { return promised && *promised > delivered ? *promised - delivered : 0; }
    int64_t Extra() const { return promised && delivered > *promised ? delivered - *promised : 0; }
    bool Damaged() const { return !problems.empty() || !decoderFailedAt.empty() || gaveUp || Lost() || Extra(); }
    // Where it is damaged, in seconds, ascending: each problem and each decoder failure.
    std::vector<double> Places() const;
    // "damaged: 4096 bytes of junk at byte 120345 (3.135 s); the decoder failed at 3.109 s; 2304
    // samples (0.052 s) of the 441216 that the frame headers promise were not delivered"
    std::string InWords(int32_t sampleRate) const;
};

StreamDamage AssessDamage(const std::optional<FrameWalk>& walk, const ReadThroughReport& read, int32_t sampleRate);
} // namespace sovahost
