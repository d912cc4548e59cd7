// SPDX-License-Identifier: MIT
// The true peak of interleaved float samples as ITU-R BS.1770 defines it: the highest magnitude
// of the signal oversampled 4 times (2 times from 96 kHz, not at all from 192 kHz) by a 49-tap
// Hann-windowed sinc interpolator, the samples themselves included. Written for speed (one
// 12-tap filter per phase, run over stretches of a channel, and stretches that cannot hold a new
// peak skipped), it is what makes the loudness meter cheap enough to run twice around an encode.
#pragma once

#include <cstdint>
#include <vector>

namespace sovahost {
class TruePeak {
public:
    TruePeak(int32_t rate, int32_t channels);
    void Add(const float* interleaved, int64_t frames);
    // Takes the frames as the ones before the next Add, without measuring them: a meter started
    // mid-stream then finds exactly what one run from the start finds from there on.
    void Prime(const float* interleaved, int64_t frames);
    // Highest magnitude so far, linear (full scale at 1.0).
    double Peak() const { return peak_; }
    double SamplePeak() const { return samplePeak_; }
private:
    int32_t channels_, factor_;
    std::vector<std::vector<float>> phases_;  // factor_ - 1 filters: the phases between the samples
    std::vector<std::vector<float>> history_; // per channel, the last samples the filters reach back to
    std::vector<float> line_, sums_;          // one channel's history and block; one phase's output
    float gain_ = 1.0f; // the most any phase can amplify: the sum of its taps' magnitudes
    float peak_ = 0.0f, samplePeak_ = 0.0f;
};
} // namespace sovahost
