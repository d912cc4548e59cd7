// SPDX-License-Identifier: MIT
// Programme loudness and peaks by EBU R 128 / ITU-R BS.1770 (libebur128 for the loudness,
// TruePeak.h for the peaks), measured over interleaved float samples as they pass. Used by
// `info --loudness`, by `encode --loudness` (the measuring pass and the check of the decoded
// MP2), by the broadcast WAV `bext` chunk and by `check`. One meter per stream, called from one thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>

namespace sovahost {
// What a meter found. Values with no meaning for the stream (silence: loudness below the
// absolute gate) are empty.
struct LoudnessFacts {
    std::optional<double> integratedLufs;      // programme loudness, LUFS
    std::optional<double> rangeLu;             // loudness range, LU
    std::optional<double> maxMomentaryLufs;    // highest 400 ms loudness
    std::optional<double> maxShortTermLufs;    // highest 3 s loudness
    double truePeakDbtp = -HUGE_VAL;           // 4x oversampled peak, dBTP
    double samplePeakDbfs = -HUGE_VAL;         // highest sample, dBFS
};

class LoudnessMeter {
public:
    // Everything; the integrated loudness and the peaks (no range, momentary or short-term
    // figures); or only the peaks. Less is measured for less work.
    enum class Measures { All, IntegratedAndPeaks, PeaksOnly };
    // Two: the loudness is measured on threads of the meter's own while the peaks are measured
    // on the caller's; the figures are the same either way.
    enum class Threads { One, Two };
    // Two where the machine has a second core, for a meter beside a reading that keeps one busy.
    static Threads WhereThereIsASecondCore();
    // channels: 1 to 8, in the WAVE order (the LFE of 5.1 is not weighted). IntegratedAndPeaks
    // measures the loudness with IntegratedLoudness.h rather than libebur128, for speed.
    LoudnessMeter(int32_t rate, int32_t channels, Measures measures = Measures::All, Threads threads = Threads::One);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // frames * channels interleaved samples, full scale at 1.0. Throws std::bad_alloc when the
    // loudness half ran out of memory.
    void Add(const float* interleaved, int64_t frames);
    // Waits for the meter's thread to measure what was added; call once everything is added.
    LoudnessFacts Facts() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
} // namespace sovahost
