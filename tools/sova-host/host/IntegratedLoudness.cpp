// SPDX-License-Identifier: MIT
#include "host/IntegratedLoudness.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "host/LoudnessState.h"

namespace sovahost {
namespace {
// Each channel's weight by its place, as libebur128 weighs it: the surrounds at ±60 to ±120
// degrees 1.41, a channel left out (the LFE) 0, every other 1.
std::vector<double> ChannelWeights(int32_t channels) {
    std::vector<double> weights;
    for (const int place : ChannelPlaces(channels)) {
        const bool surround = place == EBUR128_Mp110 || place == EBUR128_Mm110 || place == EBUR128_Mp060 ||
                              place == EBUR128_Mm060 || place == EBUR128_Mp090 || place == EBUR128_Mm090;
        weights.push_back(place == EBUR128_UNUSED ? 0.0 : surround ? 1.41 : 1.0);
    }
    return weights;
}

// The filters' state advanced by one sample; returns the K-weighted sample.
template <typename Biquad>
inline double Filter(const Biquad& shelf, const Biquad& highPass, double* s, double x) {
    const double y = shelf.b0 * x + s[0];
    s[0] = shelf.b1 * x - shelf.a1 * y + s[1];
    s[1] = shelf.b2 * x - shelf.a2 * y;
    const double z = highPass.b0 * y + s[2];
    s[2] = highPass.b1 * y - highPass.a1 * z + s[3];
    s[3] = highPass.b2 * y - highPass.a2 * z;
    return z;
}

// `frames` frames of `Channels` channels through the filters, their squares added to sums.
template <int Channels, typename Biquad>
void FilterFrames(const Biquad& shelf, const Biquad& highPass, double* state, double* sums, const float* in, int64_t frames) {
    double s[Channels][4], acc[Channels];
    for (int c = 0; c < Channels; ++c) {
        for (int k = 0; k < 4; ++k) s[c][k] = state[c * 4 + k];
        acc[c] = sums[c];
    }
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < Channels; ++c) {
            const double z = Filter(shelf, highPass, s[c], static_cast<double>(in[i * Channels + c]));
            acc[c] += z * z;
        }
    for (int c = 0; c < Channels; ++c) {
        for (int k = 0; k < 4; ++k) state[c * 4 + k] = s[c][k];
        sums[c] = acc[c];
    }
}
} // namespace

IntegratedLoudness::IntegratedLoudness(int32_t rate, int32_t channels)
    : channels_(channels), stepFrames_(std::max(1, (rate + 5) / 10)), weights_(ChannelWeights(channels)),
      state_(static_cast<size_t>(channels) * 4, 0.0), sums_(static_cast<size_t>(channels), 0.0) {
    if (channels < 1 || channels > 8 || rate < 1)
        throw std::invalid_argument("the loudness meter takes 1 to 8 channels at a positive rate");
    // BS.1770's pre-filter (a high shelf) and RLB high-pass, derived for the rate as libebur128 does.
    const double pi = std::numbers::pi;
    double k = std::tan(pi * 1681.974450955533 / rate);
    const double q = 0.7071752369554196, vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    shelf_ = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
              2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    k = std::tan(pi * 38.13547087602444 / rate);
    const double q2 = 0.5003270373238773, d = 1.0 + k / q2 + k * k;
    highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / d, (1.0 - k / q2 + k * k) / d};
}

void IntegratedLoudness::Add(const float* interleaved, int64_t frames) {
    while (frames > 0) {
        const int64_t piece = std::min(frames, stepFrames_ - inStep_);
        double* state = state_.data();
        double* sums = sums_.data();
        switch (channels_) {
        case 1: FilterFrames<1>(shelf_, highPass_, state, sums, interleaved, piece); break;
        case 2: FilterFrames<2>(shelf_, highPass_, state, sums, interleaved, piece); break;
        case 3: FilterFrames<3>(shelf_, highPass_, state, sums, interleaved, piece); break;
        case 4: FilterFrames<4>(shelf_, highPass_, state, sums, interleaved, piece); break;
        case 5: FilterFrames<5>(shelf_, highPass_, state, sums, interleaved, piece); break;
        case 6: FilterFrames<6>(shelf_, highPass_, state, sums, interleaved, piece); break;
        case 7: FilterFrames<7>(shelf_, highPass_, state, sums, interleaved, piece); break;
        default: FilterFrames<8>(shelf_, highPass_, state, sums, interleaved, piece); break;
        }
        interleaved += piece * channels_;
        frames -= piece;
        inStep_ += piece;
        if (inStep_ == stepFrames_) {
            double energy = 0.0;
            for (int32_t c = 0; c < channels_; ++c) energy += weights_[static_cast<size_t>(c)] * sums_[static_cast<size_t>(c)];
            stepEnergy_.push_back(energy);
            std::fill(sums_.begin(), sums_.end(), 0.0);
            inStep_ = 0;
        }
    }
}

std::optional<double> IntegratedLoudness::Integrated() const {
    // Block n: steps n .. n + 3, its mean square over 400 ms.
    std::vector<double> blocks;
    const double absoluteGate = std::pow(10.0, (-70.0 + 0.691) / 10.0);
    for (size_t n = 3; n < stepEnergy_.size(); ++n) {
        const double block = (stepEnergy_[n - 3] + stepEnergy_[n - 2] + stepEnergy_[n - 1] + stepEnergy_[n]) /
                             static_cast<double>(4 * stepFrames_);
        if (block >= absoluteGate) blocks.push_back(block);
    }
    if (blocks.empty()) return std::nullopt;
    double sum = 0.0;
    for (double block : blocks) sum += block;
    const double relativeGate = sum / static_cast<double>(blocks.size()) * 0.1; // 10 LU down
    double gated = 0.0;
    size_t count = 0;
    for (double block : blocks)
        if (block >= relativeGate) gated += block, ++count;
    if (count == 0) return std::nullopt;
    return 10.0 * std::log10(gated / static_cast<double>(count)) - 0.691;
}
} // namespace sovahost
