// SPDX-License-Identifier: MIT
#include "host/Loudness.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <ebur128.h>

#include "host/TruePeak.h"

namespace sovahost {
namespace {
// The peaks are TruePeak's: libebur128's interpolator costs four times all the rest of the meter.
constexpr int kModes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_M | EBUR128_MODE_S;

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
    State(int32_t rate, int32_t channels) : peaks(rate, channels) {}
    ebur128_state* meter = nullptr; // null when only the peaks are measured
    TruePeak peaks;
    int32_t channels = 0;
    int64_t stepFrames = 0;       // 100 ms: the momentary and short-term levels are read at each step
    int64_t sinceStep = 0;        // frames added since the last step
    int64_t steps = 0;            // whole steps added
    std::optional<double> maxMomentary, maxShortTerm;
    std::array<double, 30> stepEnergy{}; // the last 3 s, step by step (a ring, at steps % 30)

    ~State() {
        if (meter) ebur128_destroy(&meter);
    }
    // The momentary (400 ms) and short-term (3 s) levels are means of the last 4 and 30 steps'
    // energies: one 100 ms window read per step, where libebur128's own short-term reading would
    // sum the whole 3 s again each time.
    void ReadLevels() {
        double step = 0.0;
        if (ebur128_loudness_window(meter, 100, &step) != EBUR128_SUCCESS) return;
        stepEnergy[static_cast<size_t>(steps % 30)] = std::isfinite(step) ? std::pow(10.0, (step + 0.691) / 10.0) : 0.0;
        ++steps;
        const auto level = [this](int64_t count) {
            double sum = 0.0;
            for (int64_t i = steps - count; i < steps; ++i) sum += stepEnergy[static_cast<size_t>(i % 30)];
            return sum > 0.0 ? std::optional<double>(-0.691 + 10.0 * std::log10(sum / static_cast<double>(count)))
                             : std::nullopt;
        };
        // Only full windows count.
        if (const auto momentary = steps >= 4 ? level(4) : std::nullopt)
            maxMomentary = std::max(maxMomentary.value_or(*momentary), *momentary);
        if (const auto shortTerm = steps >= 30 ? level(30) : std::nullopt)
            maxShortTerm = std::max(maxShortTerm.value_or(*shortTerm), *shortTerm);
    }
};

LoudnessMeter::LoudnessMeter(int32_t rate, int32_t channels, Measures measures) {
    if (channels < 1 || channels > 8 || rate < 1)
        throw std::invalid_argument("the loudness meter takes 1 to 8 channels at a positive rate");
    state_ = std::make_unique<State>(rate, channels);
    state_->channels = channels;
    if (measures == Measures::PeaksOnly) return;
    state_->meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), kModes);
    if (!state_->meter) throw std::bad_alloc();
    const std::vector<int> places = ChannelPlaces(channels);
    for (int32_t c = 0; c < channels; ++c) ebur128_set_channel(state_->meter, static_cast<unsigned>(c), places[static_cast<size_t>(c)]);
    state_->stepFrames = std::max<int64_t>(1, rate / 10);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const float* interleaved, int64_t frames) {
    State& s = *state_;
    s.peaks.Add(interleaved, frames);
    if (!s.meter) return;
    while (frames > 0) {
        const int64_t piece = std::min(frames, s.stepFrames - s.sinceStep);
        if (ebur128_add_frames_float(s.meter, interleaved, static_cast<size_t>(piece)) != EBUR128_SUCCESS)
            throw std::bad_alloc(); // the meter's only failure: it keeps a list of every block
        interleaved += piece * s.channels;
        frames -= piece;
        s.sinceStep += piece;
        if (s.sinceStep == s.stepFrames) {
            s.sinceStep = 0;
            s.ReadLevels();
        }
    }
}

LoudnessFacts LoudnessMeter::Facts() const {
    LoudnessFacts facts;
    facts.truePeakDbtp = Decibels(state_->peaks.Peak());
    facts.samplePeakDbfs = Decibels(state_->peaks.SamplePeak());
    ebur128_state* meter = state_->meter;
    if (!meter) return facts;
    facts.integratedLufs = Level(ebur128_loudness_global, meter);
    if (facts.integratedLufs) facts.rangeLu = Level(ebur128_loudness_range, meter);
    facts.maxMomentaryLufs = state_->maxMomentary;
    facts.maxShortTermLufs = state_->maxShortTerm;
    return facts;
}
} // namespace sovahost
