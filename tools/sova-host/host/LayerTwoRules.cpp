#include "host/LayerTwoRules.h"

#include <algorithm>
#include <vector>

#include <fmt/format.h>

namespace sovahost {
namespace {
const char* ModeName(int32_t mode, bool mono) {
    if (mono) return "mono";
    switch (mode) {
    case 0: return "stereo";
    case 1: return "joint stereo";
    case 2: return "dual channel";
    default: return "stereo (automatic)";
    }
}

bool IsMpegRate(int32_t rate) {
    for (int32_t allowed : {16000, 22050, 24000, 32000, 44100, 48000})
        if (rate == allowed) return true;
    return false;
}
} // namespace

const char* MpegVersionName(int32_t rate) { return rate >= 32000 ? "MPEG-1" : "MPEG-2 LSF"; }

std::string RefusedCombination(int32_t kbps, int32_t rate, int32_t channels, int32_t channelMode) {
    if (!IsMpegRate(rate))
        return fmt::format("{} Hz is not an MPEG Audio Layer II sample rate (allowed: 16000, 22050, 24000, 32000, "
                           "44100, 48000 Hz)", rate);
    const bool mono = channelMode == 3 || (channelMode == -1 && channels == 1);
    std::vector<int32_t> allowed;
    if (rate >= 32000) {
        for (int32_t value : {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384}) {
            if (mono && value >= 224) continue;
            if (!mono && (value == 32 || value == 48 || value == 56 || value == 80)) continue;
            allowed.push_back(value);
        }
    } else {
        allowed = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    }
    if (std::find(allowed.begin(), allowed.end(), kbps) != allowed.end()) return {};
    return fmt::format("{} kbit/s is not allowed for {} at {} Hz ({} Layer II); allowed: {} kbit/s", kbps,
                       ModeName(channelMode, mono), rate, MpegVersionName(rate), fmt::join(allowed, ", "));
}
} // namespace sovahost
