// SPDX-License-Identifier: MIT
#include "host/Loudness.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <ebur128.h>

namespace sovahost {
namespace {
constexpr int kModes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_M | EBUR128_MODE_S | EBUR128_MODE_TRUE_PEAK |
                       EBUR128_MODE_SAMPLE_PEAK;

// Each channel's place around the listener, by channel count, in the WAVE order: quad is L R Ls
// Rs, 5.1 is L R C LFE Ls Rs, 7.1 adds the side pair after the back pair. The LFE is not weighted.
std::vector<int> ChannelPlaces(int32_t channels) {
    switch (channels) {
    case 1: return {EBUR128_CENTER};
    case 2: return {EBUR128_LEFT, EBUR128_RIGHT};
    case 3: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER};
    case 4: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
    case 5: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
    case 6: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
    case 7: return {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_Mp180, EBUR128_Mp090, EBUR128_Mm090};
    default:
        return {EBUR128_LEFT,  EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED,
                EBUR128_Mp135, EBUR128_Mm135, EBUR128_Mp090,  EBUR128_Mm090};
    }
}

double Decibels(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

// One of libebur128's figures; it answers -HUGE_VAL for silence (below the absolute gate).
std::optional<double> Level(int (*figure)(ebur128_state*, double*), ebur128_state* meter) {
    double value = 0.0;
    if (figure(meter, &value) != EBUR128_SUCCESS || !std::isfinite(value)) return std::nullopt;
    return value;
}
} // namespace

struct LoudnessMeter::State {
    ebur128_state* meter = nullptr;
    int32_t channels = 0;
    int64_t stepFrames = 0;       // 100 ms: the momentary and short-term levels are read at each step
    int64_t sinceStep = 0;        // frames added since the last step
    int64_t steps = 0;            // whole steps added
    std::optional<double> maxMomentary, maxShortTerm;

    ~State() { ebur128_destroy(&meter); }
    void ReadLevels() {
        double value = 0.0;
        // The windows are full after 400 ms and 3 s; before that the meter pads them with silence.
        if (steps >= 4 && ebur128_loudness_momentary(meter, &value) == EBUR128_SUCCESS && std::isfinite(value))
            maxMomentary = std::max(maxMomentary.value_or(value), value);
        if (steps >= 30 && ebur128_loudness_shortterm(meter, &value) == EBUR128_SUCCESS && std::isfinite(value))
            maxShortTerm = std::max(maxShortTerm.value_or(value), value);
    }
};

LoudnessMeter::LoudnessMeter(int32_t rate, int32_t channels) : state_(std::make_unique<State>()) {
    if (channels < 1 || channels > 8 || rate < 1)
        throw std::invalid_argument("the loudness meter takes 1 to 8 channels at a positive rate");
    state_->meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), kModes);
    if (!state_->meter) throw std::bad_alloc();
    const std::vector<int> places = ChannelPlaces(channels);
    for (int32_t c = 0; c < channels; ++c) ebur128_set_channel(state_->meter, static_cast<unsigned>(c), places[static_cast<size_t>(c)]);
    state_->channels = channels;
    state_->stepFrames = std::max<int64_t>(1, rate / 10);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const float* interleaved, int64_t frames) {
    State& s = *state_;
    while (frames > 0) {
        const int64_t piece = std::min(frames, s.stepFrames - s.sinceStep);
        if (ebur128_add_frames_float(s.meter, interleaved, static_cast<size_t>(piece)) != EBUR128_SUCCESS)
            throw std::bad_alloc(); // the meter's only failure: it keeps a list of every block
        interleaved += piece * s.channels;
        frames -= piece;
        s.sinceStep += piece;
        if (s.sinceStep == s.stepFrames) {
            s.sinceStep = 0;
            ++s.steps;
            s.ReadLevels();
        }
    }
}

LoudnessFacts LoudnessMeter::Facts() const {
    LoudnessFacts facts;
    ebur128_state* meter = state_->meter;
    facts.integratedLufs = Level(ebur128_loudness_global, meter);
    if (facts.integratedLufs) facts.rangeLu = Level(ebur128_loudness_range, meter);
    facts.maxMomentaryLufs = state_->maxMomentary;
    facts.maxShortTermLufs = state_->maxShortTerm;
    double truePeak = 0.0, samplePeak = 0.0, value = 0.0;
    for (int32_t c = 0; c < state_->channels; ++c) {
        if (ebur128_true_peak(meter, static_cast<unsigned>(c), &value) == EBUR128_SUCCESS) truePeak = std::max(truePeak, value);
        if (ebur128_sample_peak(meter, static_cast<unsigned>(c), &value) == EBUR128_SUCCESS)
            samplePeak = std::max(samplePeak, value);
    }
    facts.truePeakDbtp = Decibels(truePeak);
    facts.samplePeakDbfs = Decibels(samplePeak);
    return facts;
}
} // namespace sovahost
