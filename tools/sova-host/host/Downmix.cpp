// SPDX-License-Identifier: MIT
#include "host/Downmix.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>
#include <sndfile.h>

namespace sovahost {
namespace {
constexpr float kMinus3dB = 0.70710678f;

struct Gains {
    float left, right;
    const char* name;
};

// The WAVE order of channels when a file names none (WAVE_FORMAT_EXTENSIBLE's speaker order).
int DefaultRole(int32_t index) {
    static const int order[] = {SF_CHANNEL_MAP_LEFT,       SF_CHANNEL_MAP_RIGHT,      SF_CHANNEL_MAP_CENTER,
                                SF_CHANNEL_MAP_LFE,        SF_CHANNEL_MAP_REAR_LEFT,  SF_CHANNEL_MAP_REAR_RIGHT,
                                SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER, SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER,
                                SF_CHANNEL_MAP_REAR_CENTER, SF_CHANNEL_MAP_SIDE_LEFT,  SF_CHANNEL_MAP_SIDE_RIGHT};
    return index < static_cast<int32_t>(std::size(order)) ? order[index] : SF_CHANNEL_MAP_INVALID;
}

Gains GainsOf(int role) {
    switch (role) {
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER: return {1.0f, 0.0f, "L"};
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER: return {0.0f, 1.0f, "R"};
    case SF_CHANNEL_MAP_MONO:
    case SF_CHANNEL_MAP_CENTER:
    case SF_CHANNEL_MAP_FRONT_CENTER: return {kMinus3dB, kMinus3dB, "C"};
    case SF_CHANNEL_MAP_REAR_LEFT:
    case SF_CHANNEL_MAP_SIDE_LEFT: return {kMinus3dB, 0.0f, "Ls"};
    case SF_CHANNEL_MAP_REAR_RIGHT:
    case SF_CHANNEL_MAP_SIDE_RIGHT: return {0.0f, kMinus3dB, "Rs"};
    case SF_CHANNEL_MAP_REAR_CENTER: return {0.5f, 0.5f, "Cs"};
    case SF_CHANNEL_MAP_LFE: return {0.0f, 0.0f, "LFE"};
    default: return {0.5f, 0.5f, "?"}; // a height or unnamed channel: to both sides, -6 dB
    }
}
} // namespace

Downmix::Downmix(int32_t inputs, int32_t outputs, const std::vector<int>& roles)
    : inputs_(inputs), outputs_(outputs), weights_(static_cast<size_t>(inputs * outputs), 0.0f) {
    if (inputs == 1) { // mono to one or two outputs: copied
        std::fill(weights_.begin(), weights_.end(), 1.0f);
        words_ = "copying the mono channel to both channels";
        return;
    }
    std::vector<float> left(static_cast<size_t>(inputs)), right(static_cast<size_t>(inputs));
    std::vector<std::string> names;
    for (int32_t in = 0; in < inputs; ++in) {
        const int role = roles.size() == static_cast<size_t>(inputs) ? roles[static_cast<size_t>(in)] : DefaultRole(in);
        const Gains gains = GainsOf(role);
        left[static_cast<size_t>(in)] = gains.left;
        right[static_cast<size_t>(in)] = gains.right;
        names.emplace_back(gains.name);
    }
    for (int32_t in = 0; in < inputs; ++in) {
        const float l = left[static_cast<size_t>(in)], r = right[static_cast<size_t>(in)];
        if (outputs == 1) {
            weights_[static_cast<size_t>(in)] = 0.5f * (l + r);
        } else {
            weights_[static_cast<size_t>(in)] = l;
            weights_[static_cast<size_t>(inputs + in)] = r;
        }
    }
    if (inputs == 2) {
        words_ = "downmixing stereo to mono (L/2 + R/2)";
        return;
    }
    canClip_ = true;
    words_ = fmt::format("downmixing {} channels ({}{}) to {} with the ITU-R BS.775 matrix (centre and surrounds at "
                         "-3 dB, LFE dropped)",
                         inputs, fmt::join(names, ", "), roles.empty() ? ", taken in WAVE order" : "",
                         outputs == 1 ? "mono (the mean of the stereo mix)" : "stereo");
}

void Downmix::Guard(float peak) {
    constexpr float kCeiling = 0.99f; // about -0.1 dBFS: a little room for the resampler and the coder
    peak_ = peak;
    gain_ = peak > kCeiling ? kCeiling / peak : 1.0f;
    for (float& weight : weights_) weight *= gain_;
}

std::string Downmix::Words() const {
    if (!canClip_) return words_;
    const double peakDb = 20.0 * std::log10(std::max(peak_, 1e-10f));
    if (gain_ < 1.0f)
        return fmt::format("{}, lowered by {:.1f} dB because the mix would peak at {:+.1f} dBFS", words_,
                           -20.0 * std::log10(gain_), peakDb);
    return fmt::format("{}; the mix peaks at {:.1f} dBFS, no gain needed", words_, peakDb);
}

void Downmix::Apply(const float* in, int64_t frames, float* out) const {
    for (int64_t frame = 0; frame < frames; ++frame)
        for (int32_t o = 0; o < outputs_; ++o) {
            float sum = 0.0f;
            for (int32_t i = 0; i < inputs_; ++i) sum += Weight(o, i) * in[frame * inputs_ + i];
            out[frame * outputs_ + o] = sum;
        }
}
} // namespace sovahost
