// SPDX-License-Identifier: MIT
// Sample-rate conversion of interleaved float frames with libsoxr (high quality), in pieces of a
// fixed size: memory stays bounded whatever the ratio between the rates.
#pragma once

#include <cstdint>
#include <vector>

#include <soxr.h>

namespace sovahost {
class Resampler {
public:
    // Throws std::runtime_error when libsoxr refuses the rates.
    Resampler(int32_t fromRate, int32_t toRate, int32_t channels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Converts `frames` interleaved input frames (frames == 0: the input has ended, and what the
    // resampler still holds comes out) and appends the output frames to `out`.
    void Process(const float* in, int64_t frames, std::vector<float>& out);
private:
    soxr_t soxr_ = nullptr;
    int32_t channels_;
    std::vector<float> piece_; // one fixed-size piece of output
};
} // namespace sovahost
