// SPDX-License-Identifier: MIT
#include "host/ProfileCheck.h"

#include <fstream>

#include <fmt/format.h>

namespace sovahost {
namespace {
bool StartsWithRiff(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && std::string(magic, 4) == "RIFF";
}
} // namespace

void PrepareProfileCheck(const DeliveryProfile& profile, DeliveryOptions& options) {
    if (profile.loudnessLufs || profile.truePeakDbtp) options.measureLoudness = true;
}

DeliveredFile DeliveredFileOf(const DeliveryReport& report) {
    DeliveredFile file;
    const FrameAudit& frames = report.frames;
    if (report.Walked()) {
        const FrameWalk& walk = *frames.walk;
        file.rate = walk.first->sampleRate;
        if (!walk.VariableBitrate()) file.bitrate = walk.minBitrate;
        file.modes = frames.modes;
        file.allFramesProtected = walk.frames > 0 && frames.crcFrames >= walk.frames;
        file.noFrameProtected = frames.crcFrames == 0;
        file.paddingUsed = frames.paddedFrames > 0;
        file.container = StartsWithRiff(report.path) ? Container::BroadcastWav : Container::RawMp2;
    }
    if (report.decoded) {
        file.headSilenceSeconds = report.decoded->headSilence;
        file.tailSilenceSeconds = report.decoded->tailSilence;
        if (const auto& loudness = report.decoded->loudness) {
            file.loudnessLufs = loudness->integratedLufs;
            file.truePeakDbtp = loudness->truePeakDbtp;
        }
    }
    return file;
}

void AddProfileFailures(const DeliveryProfile& profile, DeliveryReport& report) {
    for (const ProfileFinding& finding : CheckAgainstProfile(profile, DeliveredFileOf(report)))
        if (!finding.passed)
            report.Fail("profile", fmt::format("--profile {}: {}: {}", profile.name, finding.requirement, finding.detail));
}
} // namespace sovahost
