// SPDX-License-Identifier: MIT
// The loudness of the samples an encode hands to the module, block by block as SampleFeed
// delivers them (one buffer per channel, in a sample format code), for a broadcast WAV file's
// bext chunk.
#pragma once

#include <cstdint>
#include <vector>

#include "host/HandedSamples.h"
#include "host/Loudness.h"

namespace sovahost {
class HandedLoudness {
public:
    HandedLoudness(int32_t rate, int32_t channels) : meter_(rate, channels) {}
    void Add(const std::vector<std::vector<uint8_t>>& buffers, int64_t frames, int32_t code);
    LoudnessFacts Facts() const { return meter_.Facts(); }
private:
    LoudnessMeter meter_;
    std::vector<float> interleaved_;
};
} // namespace sovahost
