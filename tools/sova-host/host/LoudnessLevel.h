// SPDX-License-Identifier: MIT
// Encoding to a loudness: the gain that takes a programme to a target loudness without its true
// peak passing a ceiling, and how sova-host words what it did. The gain stops at the ceiling: the
// programme gets one gain and no other processing, and the shortfall is reported.
#pragma once

#include <optional>
#include <string>

#include "host/Loudness.h"
#include "host/LoudnessScan.h"

namespace sovahost {
// A loudness to reach by a gain, no higher than a true-peak ceiling.
struct LevelRequest {
    double targetLufs = -23.0;
    double ceilingDbtp = -1.0;
    MeasureProgress progress; // told the source frames measured so far
    LoudnessMeter::Threads threads = LoudnessMeter::Threads::One; // for the measuring pass
};

// What the measuring pass found and the gain chosen from it.
struct LevelOutcome {
    LoudnessFacts measured; // the samples as they would reach the module without the gain: integrated and peaks
    double gainDb = 0.0;
    bool reached = true;    // false when the ceiling (or silence) stopped the gain short of the target
    // The same samples with the gain: integrated loudness and true peak.
    std::optional<double> expectedLufs;
    double expectedTruePeakDbtp = -HUGE_VAL;
};

// The gain that takes `measured` to the target, lowered where the true peak would pass the ceiling.
LevelOutcome ChooseGain(const LoudnessFacts& measured, double targetLufs, double ceilingDbtp);

// "measured -8.1 LUFS, true peak +0.4 dBTP; gain -14.90 dB for -23.0 LUFS"
std::string LevelInWords(const LevelOutcome& outcome, double targetLufs);
// Why the target was not reached, for a warning; empty when it was.
std::string LevelShortfall(const LevelOutcome& outcome, double targetLufs, double ceilingDbtp);
// The decoded output against the ceiling, for a warning; empty when its true peak stays under it.
std::string CeilingExceeded(const LoudnessFacts& decoded, double ceilingDbtp);
} // namespace sovahost
