// SPDX-License-Identifier: MIT
#include "EncodeSettings.h"

#include <bit>
#include <stdexcept>

#include <fmt/format.h>

#include "host/SettingsValues.h"
#include <sova/Sdk.h>

namespace sovahost {
using namespace sova::sdk;

namespace {
// The entries the options set besides bitrate and mode (those come from the plan). Entries placed
// before the starting text win: the settings text keeps the first occurrence of a key.
std::string FlagOverrides(const EncodeOptions& options) {
    std::string text;
    const auto add = [&text](const char* key, int32_t value) { text += fmt::format("{}:0:{};", key, value); };
    if (options.psymodel) add("PAMType", *options.psymodel);
    if (options.ath) add("ATH", std::bit_cast<int32_t>(*options.ath));
    if (options.emphasis) {
        const char letter = options.emphasis->at(0);
        add("EmphasisType", letter == '5' ? 1 : letter == 'c' ? 3 : 0);
    }
    if (options.protect) add("CRC", 1);
    if (options.padding) add("PaddingType", 1);
    if (options.energy) add("Energy", 1);
    if (options.copyright) add("Copy", 1);
    if (options.nonCopyright) add("Copy", 0);
    if (options.original) add("Original", 1);
    if (options.nonOriginal) add("Original", 0);
    return text;
}
} // namespace

SettingsReading CheckedSettings(const std::string& text) {
    SettingsReading reading = ReadSettingsText(text);
    WarnAboutSettingsText(reading);
    if (const std::vector<std::string> problems = SettingsValueProblems(reading); !problems.empty())
        throw std::runtime_error(fmt::format("--settings: {}", fmt::join(problems, "; ")));
    return reading;
}

StartingSettings UserSettings(const EncodeOptions& options, const std::string& userText, const SettingsReading& reading) {
    StartingSettings start{FlagOverrides(options) + userText, options.bitrate, std::nullopt};
    if (!start.bitrate) start.bitrate = SettingsNumber(reading.integers, "BitsPerSecond");
    start.mode = options.mode ? std::optional<int32_t>(ModeValue(*options.mode))
                              : SettingsNumber(reading.integers, "ChannelMode");
    return start;
}

EncodePlan Plan(const EncodeOptions& options, const StartingSettings& start, const AudioSource& source,
                const DeliveryProfile* profile) {
    EncodeRequest request;
    request.sourceRate = source.Rate();
    request.sourceChannels = source.Channels();
    request.rate = options.rate;
    request.channels = options.channels;
    request.bitrate = start.bitrate;
    request.mode = start.mode;
    return PlanEncodeFor(profile, request);
}

std::optional<int32_t> ForcedSampleFormat(const std::string& name) {
    if (name == "u8") return kSampleUInt8;
    if (name == "s16") return kSampleInt16;
    if (name == "s24") return kSampleInt24;
    if (name == "f32") return kSampleFloat32;
    return std::nullopt; // auto: the source's own precision
}

int32_t ModeValue(const std::string& mode) {
    switch (mode.at(0)) {
    case 's': return 0;
    case 'j': return 1;
    case 'd': return 2;
    case 'm': return 3;
    default: return -1;
    }
}
} // namespace sovahost
