// SPDX-License-Identifier: MIT
#include "host/LoudnessLevel.h"

#include <cmath>

#include <fmt/format.h>

namespace sovahost {
LevelOutcome ChooseGain(const LoudnessFacts& measured, double targetLufs, double ceilingDbtp) {
    LevelOutcome outcome;
    outcome.measured = measured;
    if (!measured.integratedLufs) { // silence: nothing to measure a gain on
        outcome.reached = false;
        return outcome;
    }
    outcome.gainDb = targetLufs - *measured.integratedLufs;
    if (std::isfinite(measured.truePeakDbtp) && measured.truePeakDbtp + outcome.gainDb > ceilingDbtp) {
        outcome.gainDb = ceilingDbtp - measured.truePeakDbtp;
        outcome.reached = false;
    }
    outcome.expectedLufs = *measured.integratedLufs + outcome.gainDb;
    outcome.expectedTruePeakDbtp = measured.truePeakDbtp + outcome.gainDb;
    return outcome;
}

std::string LevelInWords(const LevelOutcome& outcome, double targetLufs) {
    return fmt::format("measured {}, true peak {}; gain {:+.2f} dB for {:.1f} LUFS", LevelText(outcome.measured.integratedLufs, "LUFS"),
                       LevelText(outcome.measured.truePeakDbtp, "dBTP"), outcome.gainDb, targetLufs);
}

std::string LevelShortfall(const LevelOutcome& outcome, double targetLufs, double ceilingDbtp) {
    if (outcome.reached) return {};
    if (!outcome.measured.integratedLufs)
        return fmt::format("the loudness target of {:.1f} LUFS is not reached: the source is silent (below the "
                           "measurement's gate), so it is encoded without a gain", targetLufs);
    return fmt::format("the loudness target of {:.1f} LUFS is not reached: a gain of {:+.2f} dB would take the true "
                       "peak to {:+.1f} dBTP, over the ceiling of {:+.1f} dBTP; the gain stops at {:+.2f} dB, for {} "
                       "(limit the programme's peaks first, or raise --true-peak)",
                       targetLufs, targetLufs - *outcome.measured.integratedLufs,
                       outcome.measured.truePeakDbtp + targetLufs - *outcome.measured.integratedLufs, ceilingDbtp,
                       outcome.gainDb, LevelText(outcome.expectedLufs, "LUFS"));
}

std::string CeilingExceeded(const LoudnessFacts& decoded, double ceilingDbtp) {
    if (!(decoded.truePeakDbtp > ceilingDbtp)) return {};
    return fmt::format("the decoded MP2 peaks at {:+.2f} dBTP, over the ceiling of {:+.1f} dBTP (lossy coding raises "
                       "peaks): lower --true-peak by {:.1f} dB or more to stay under it",
                       decoded.truePeakDbtp, ceilingDbtp, std::ceil((decoded.truePeakDbtp - ceilingDbtp) * 10.0) / 10.0);
}
} // namespace sovahost
