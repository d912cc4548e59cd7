// SPDX-License-Identifier: MIT
#include "host/LayerTwoRules.h"

#include <algorithm>

#include <fmt/format.h>

namespace sovahost::layer2 {
namespace {
// kbit/s by header bitrate index 1..14: [0] MPEG-1, [1] MPEG-2 LSF.
constexpr int32_t kBitrates[2][14] = {{32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                      {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};

// MPEG-1 Layer II: the lowest bitrates are for mono only, the highest for two channels only.
bool Mpeg1ModeAllows(int32_t kbps, bool mono) {
    if (mono) return kbps <= 192;
    return kbps != 32 && kbps != 48 && kbps != 56 && kbps != 80;
}
} // namespace

bool IsMpegRate(int32_t rate) { return std::find(kRates.begin(), kRates.end(), rate) != kRates.end(); }

bool IsMpeg1Rate(int32_t rate) { return rate >= 32000; }

const char* VersionName(int32_t rate) { return IsMpeg1Rate(rate) ? "MPEG-1" : "MPEG-2 LSF"; }

int32_t BitrateOfIndex(bool mpeg1, int index) {
    return index >= 1 && index <= 14 ? kBitrates[mpeg1 ? 0 : 1][index - 1] : 0;
}

std::vector<int32_t> AllowedBitrates(int32_t rate, bool mono) {
    std::vector<int32_t> allowed;
    if (!IsMpegRate(rate)) return allowed;
    const bool mpeg1 = IsMpeg1Rate(rate);
    for (int32_t kbps : kBitrates[mpeg1 ? 0 : 1])
        if (!mpeg1 || Mpeg1ModeAllows(kbps, mono)) allowed.push_back(kbps);
    return allowed;
}

bool Allows(int32_t kbps, int32_t rate, bool mono) {
    const std::vector<int32_t> allowed = AllowedBitrates(rate, mono);
    return std::find(allowed.begin(), allowed.end(), kbps) != allowed.end();
}

std::vector<int32_t> RatesAllowing(int32_t kbps, bool mono) {
    std::vector<int32_t> rates;
    for (int32_t rate : kRates)
        if (Allows(kbps, rate, mono)) rates.push_back(rate);
    return rates;
}

int32_t DefaultBitrate(int32_t rate, bool mono) {
    if (IsMpeg1Rate(rate)) return mono ? 96 : 192;
    return mono ? 48 : 96;
}

int32_t OutputRateFor(int32_t sourceRate) {
    for (int32_t rate : kRates)
        if (rate >= sourceRate) return rate;
    return kRates.back();
}

std::string Refusal(int32_t kbps, int32_t rate, bool mono, const std::string& modeName) {
    if (!IsMpegRate(rate))
        return fmt::format("{} Hz is not an MPEG Audio Layer II sample rate (allowed: {} Hz)", rate,
                           fmt::join(kRates, ", "));
    if (Allows(kbps, rate, mono)) return {};
    std::string text = fmt::format("{} kbit/s is not allowed for {} at {} Hz ({} Layer II); allowed there: {} kbit/s",
                                   kbps, modeName, rate, VersionName(rate), fmt::join(AllowedBitrates(rate, mono), ", "));
    const std::vector<int32_t> rates = RatesAllowing(kbps, mono);
    if (rates.empty())
        text += fmt::format("; {} kbit/s is not a Layer II bitrate for {} at any rate", kbps, modeName);
    else
        text += fmt::format("; {} kbit/s needs --rate {}", kbps, fmt::join(rates, " or --rate "));
    return text;
}
} // namespace sovahost::layer2
