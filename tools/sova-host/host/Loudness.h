// SPDX-License-Identifier: MIT
// Programme loudness and peaks by EBU R 128 / ITU-R BS.1770 (libebur128 for the loudness,
// TruePeak.h for the peaks), measured over interleaved float samples as they pass. Used by
// `info --loudness`, by `encode --loudness` (the measuring pass and the check of the decoded
// MP2), by the broadcast WAV `bext` chunk and by `check`. One meter per stream; not thread-safe.
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
    // Everything, or only the true and sample peaks (the loudness figures stay empty), for less work.
    enum class Measures { All, PeaksOnly };
    // channels: 1 to 8, in the WAVE order (the LFE of 5.1 is not weighted).
    LoudnessMeter(int32_t rate, int32_t channels, Measures measures = Measures::All);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // frames * channels interleaved samples, full scale at 1.0.
    void Add(const float* interleaved, int64_t frames);
    LoudnessFacts Facts() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
} // namespace sovahost
