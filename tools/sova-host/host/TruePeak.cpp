// SPDX-License-Identifier: MIT
#include "host/TruePeak.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sovahost {
namespace {
constexpr int kTapsPerPhase = 12;

std::vector<std::vector<float>> InterpolationPhases(int factor) {
    const int taps = kTapsPerPhase * factor + 1;
    const double centre = (taps - 1) / 2.0;
    std::vector<double> filter(static_cast<size_t>(taps));
    for (int n = 0; n < taps; ++n) {
        const double x = (n - centre) / factor;
        const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        filter[static_cast<size_t>(n)] = sinc * 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * n / (taps - 1)));
    }
    // Phase 0 is the samples themselves (the sinc is zero at every other whole sample); each other
    // phase is normalised to unity gain at DC.
    std::vector<std::vector<float>> phases;
    for (int p = 1; p < factor; ++p) {
        std::vector<double> taps12;
        for (int n = p; n < taps; n += factor) taps12.push_back(filter[static_cast<size_t>(n)]);
        double sum = 0.0;
        for (double tap : taps12) sum += tap;
        std::vector<float> phase;
        for (double tap : taps12) phase.push_back(static_cast<float>(tap / sum));
        phases.push_back(phase);
    }
    return phases;
}
} // namespace

TruePeak::TruePeak(int32_t rate, int32_t channels)
    : channels_(channels), factor_(rate < 96000 ? 4 : rate < 192000 ? 2 : 1), phases_(InterpolationPhases(factor_)),
      history_(static_cast<size_t>(channels), std::vector<float>(kTapsPerPhase - 1, 0.0f)) {
    for (const std::vector<float>& phase : phases_) {
        float sum = 0.0f;
        for (float tap : phase) sum += std::fabs(tap);
        gain_ = std::max(gain_, sum * 1.0001f); // a little over, for the rounding of the sums
    }
}

void TruePeak::Prime(const float* interleaved, int64_t frames) {
    for (int32_t c = 0; c < channels_; ++c) {
        std::vector<float>& history = history_[static_cast<size_t>(c)];
        for (int64_t i = 0; i < frames; ++i) {
            history.erase(history.begin());
            history.push_back(interleaved[i * channels_ + c]);
        }
    }
}

void TruePeak::Add(const float* interleaved, int64_t frames) {
    if (frames <= 0) return;
    const auto count = static_cast<size_t>(frames);
    constexpr size_t kBack = kTapsPerPhase - 1;
    constexpr size_t kStretch = 256; // frames judged at a time
    line_.resize(kBack + count);
    sums_.resize(kStretch);
    for (int32_t c = 0; c < channels_; ++c) {
        std::vector<float>& history = history_[static_cast<size_t>(c)];
        std::copy(history.begin(), history.end(), line_.begin());
        float* samples = line_.data() + kBack;
        for (size_t i = 0; i < count; ++i) samples[i] = interleaved[i * static_cast<size_t>(channels_) + static_cast<size_t>(c)];
        for (size_t at = 0; at < count; at += kStretch) {
            const size_t length = std::min(kStretch, count - at);
            // Every value between these samples is a filter over samples[at - 11 .. at + length - 1],
            // so it is at most gain_ times their highest magnitude: below the peak so far, the
            // stretch cannot raise it and is not filtered.
            float highest = 0.0f;
            const float* window = line_.data() + at; // samples[at - kBack], without an index below zero
            for (size_t i = 0; i < kBack + length; ++i) highest = std::max(highest, std::fabs(window[i]));
            samplePeak_ = std::max(samplePeak_, highest);
            if (highest * gain_ <= peak_) continue;
            float peak = std::max(peak_, highest);
            for (const std::vector<float>& phase : phases_) {
                // sums[i] = the phase's filter over samples[at + i - 11 .. at + i], one tap at a time.
                std::fill(sums_.begin(), sums_.begin() + static_cast<std::ptrdiff_t>(length), 0.0f);
                for (size_t k = 0; k < phase.size(); ++k) {
                    const float tap = phase[k];
                    const float* from = samples + at - k;
                    float* sums = sums_.data();
                    for (size_t i = 0; i < length; ++i) sums[i] += tap * from[i];
                }
                for (size_t i = 0; i < length; ++i) peak = std::max(peak, std::fabs(sums_[i]));
            }
            peak_ = peak;
        }
        std::copy(line_.end() - static_cast<std::ptrdiff_t>(kBack), line_.end(), history.begin());
    }
}
} // namespace sovahost
