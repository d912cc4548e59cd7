// SPDX-License-Identifier: MIT
#include "host/Loudness.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <ebur128.h>

#include "host/IntegratedLoudness.h"
#include "host/LoudnessState.h"
#include "host/SampleBatchThread.h"
#include "host/TruePeak.h"

namespace sovahost {
namespace {
// The peaks are TruePeak's: libebur128's interpolator costs four times all the rest of the meter.
constexpr int kAllModes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_M | EBUR128_MODE_S;

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
    LoudnessState meter;            // All: libebur128's meter
    std::unique_ptr<IntegratedLoudness> integrated; // IntegratedAndPeaks: the fast meter
    TruePeak peaks;
    int32_t channels = 0;
    int64_t stepFrames = 0;       // 100 ms: the momentary and short-term levels are read at each step
    int64_t sinceStep = 0;        // frames added since the last step
    int64_t steps = 0;            // whole steps added
    std::optional<double> maxMomentary, maxShortTerm;
    std::array<double, 30> stepEnergy{}; // the last 3 s, step by step (a ring, at steps % 30)

    std::unique_ptr<SampleBatchThread> thread; // runs AddLoudness when the meter has a thread

    ~State() {
        thread.reset(); // stopped before the meter it feeds goes
    }
    void AddLoudness(const float* interleaved, int64_t frames) {
        if (integrated) return integrated->Add(interleaved, frames);
        while (frames > 0) {
            const int64_t piece = std::min(frames, stepFrames - sinceStep);
            AddToLoudnessState(meter.get(), interleaved, piece);
            interleaved += piece * channels;
            frames -= piece;
            sinceStep += piece;
            if (sinceStep == stepFrames) {
                sinceStep = 0;
                ReadLevels();
            }
        }
    }
    // The momentary (400 ms) and short-term (3 s) levels are means of the last 4 and 30 steps'
    // energies: one 100 ms window read per step, where libebur128's own short-term reading would
    // sum the whole 3 s again each time.
    void ReadLevels() {
        double step = 0.0;
        if (ebur128_loudness_window(meter.get(), 100, &step) != EBUR128_SUCCESS) return;
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

LoudnessMeter::LoudnessMeter(int32_t rate, int32_t channels, Measures measures, Threads threads) {
    if (channels < 1 || channels > 8 || rate < 1)
        throw std::invalid_argument("the loudness meter takes 1 to 8 channels at a positive rate");
    state_ = std::make_unique<State>(rate, channels);
    State& s = *state_;
    s.channels = channels;
    if (measures == Measures::PeaksOnly) return;
    if (measures == Measures::All) {
        s.meter = NewLoudnessState(rate, channels, kAllModes);
        s.stepFrames = std::max<int64_t>(1, rate / 10);
    } else {
        s.integrated = std::make_unique<IntegratedLoudness>(rate, channels);
    }
    if (threads == Threads::Two)
        s.thread = std::make_unique<SampleBatchThread>(
            channels, [&s](const float* interleaved, int64_t frames) { s.AddLoudness(interleaved, frames); });
}

LoudnessMeter::~LoudnessMeter() = default;

LoudnessMeter::Threads LoudnessMeter::WhereThereIsASecondCore() {
    return std::thread::hardware_concurrency() > 1 ? Threads::Two : Threads::One;
}

void LoudnessMeter::Add(const float* interleaved, int64_t frames) {
    State& s = *state_;
    if (s.thread) s.thread->Add(interleaved, frames); // first, so that both halves run at once
    s.peaks.Add(interleaved, frames);
    if ((s.meter || s.integrated) && !s.thread) s.AddLoudness(interleaved, frames);
}

LoudnessFacts LoudnessMeter::Facts() const {
    LoudnessFacts facts;
    facts.truePeakDbtp = Decibels(state_->peaks.Peak());
    facts.samplePeakDbfs = Decibels(state_->peaks.SamplePeak());
    if (state_->thread) state_->thread->Finish();
    if (state_->integrated) {
        facts.integratedLufs = state_->integrated->Integrated();
        return facts;
    }
    ebur128_state* meter = state_->meter.get();
    if (!meter) return facts;
    facts.integratedLufs = Level(ebur128_loudness_global, meter);
    if (facts.integratedLufs) facts.rangeLu = Level(ebur128_loudness_range, meter);
    facts.maxMomentaryLufs = state_->maxMomentary;
    facts.maxShortTermLufs = state_->maxShortTerm;
    return facts;
}
} // namespace sovahost
