// SPDX-License-Identifier: MIT
#include "ProfileOptions.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include <fmt/format.h>

#include "EncodeSettings.h"
#include "host/BroadcastWaveOutput.h"
#include "RunCommand.h"
#include "host/SettingsText.h"

namespace sovahost {
namespace {
// What the options and the settings text ask for; an option wins over the text, as in the encode.
DeliveryRequest RequestOf(const EncodeOptions& options, const std::string& outPath) {
    const auto entries = SettingsEntries(options.settingsText);
    const auto fromText = [&entries](const char* key) -> std::optional<Asked<int32_t>> {
        if (const auto value = SettingsNumber(entries, key)) return Asked<int32_t>{*value, fmt::format("--settings {}:0:{}", key, *value)};
        return std::nullopt;
    };
    const auto flagFromText = [&fromText](const char* key) -> std::optional<Asked<bool>> {
        if (const auto value = fromText(key)) return Asked<bool>{value->value != 0, value->option};
        return std::nullopt;
    };
    DeliveryRequest request;
    if (options.rate) request.rate = {{*options.rate, fmt::format("--rate {}", *options.rate)}};
    request.bitrate = options.bitrate ? Asked<int32_t>{*options.bitrate, fmt::format("-b {}", *options.bitrate)}
                                      : fromText("BitsPerSecond");
    request.mode = options.mode ? Asked<int32_t>{ModeValue(*options.mode), "-m " + *options.mode} : fromText("ChannelMode");
    request.crc = options.protect ? Asked<bool>{true, "-p"} : flagFromText("CRC");
    request.padding = options.padding ? Asked<bool>{true, "-d"} : flagFromText("PaddingType");
    if (options.loudness) request.loudnessLufs = {{*options.loudness, fmt::format("--loudness {:g}", *options.loudness)}};
    // The default ceiling gives way to a profile's lower one; a ceiling typed above it contradicts it.
    if (options.truePeak != EncodeOptions{}.truePeak)
        request.truePeakDbtp = {{options.truePeak, fmt::format("--true-peak {:g}", options.truePeak)}};
    if (options.broadcast.container == "mp2")
        request.container = {{Container::RawMp2, "--container mp2"}};
    else if (WantsBroadcastWave(outPath, options.broadcast))
        request.container = {{Container::BroadcastWav, options.broadcast.container == "bwf"
                                                           ? std::string("--container bwf")
                                                           : fmt::format("the output name '{}'", outPath)}};
    return request;
}
} // namespace

void AddProfileOption(CLI::App& command, std::string& profile) {
    command
        .add_option("--profile", profile,
                    "Delivery profile: sets the rate, bitrate, mode, CRC, padding, loudness and true-peak ceiling a "
                    "delivery requires and refuses options that contradict it; 'list' prints every profile with the source of each value "
                    "(profiles: " + DeliveryProfileNames() + ")")
        ->check(CLI::Validator(
            [](std::string& name) {
                return name == "list" || FindDeliveryProfile(name)
                           ? std::string()
                           : fmt::format("no delivery profile '{}' (profiles: {}; 'list' shows them)", name, DeliveryProfileNames());
            },
            "NAME"))
        ->each([](const std::string& name) {
            if (name != "list") return;
            std::fputs(DeliveryProfileListing().c_str(), stdout);
            throw CLI::Success();
        });
}

const DeliveryProfile* ApplyDeliveryProfile(EncodeOptions& options, const std::string& outPath) {
    if (options.profile.empty()) return nullptr;
    const DeliveryProfile* profile = FindDeliveryProfile(options.profile);
    const auto refuse = [](const std::string& message) { throw CommandFailure(message, kUsageError); };
    if (!profile) refuse(fmt::format("no delivery profile '{}'", options.profile));
    if (options.dialog)
        refuse(fmt::format("--dialog cannot be used with --profile {}: the profile sets the settings the dialog edits",
                           profile->name));
    if (options.skipConform)
        refuse(fmt::format("--no-conform cannot be used with --profile {}: it skips the profile's checks", profile->name));
    if (const auto contradictions = ProfileContradictions(*profile, RequestOf(options, outPath)); !contradictions.empty())
        refuse(fmt::format("{}", fmt::join(contradictions, "; ")));
    if (profile->crc && profile->crc->value) options.protect = true;
    if (profile->container && options.broadcast.container.empty())
        options.broadcast.container = profile->container->value == Container::RawMp2 ? "mp2" : "bwf";
    if (profile->loudnessLufs) options.loudness = profile->loudnessLufs->value;
    if (profile->truePeakDbtp) options.truePeak = std::min(options.truePeak, profile->truePeakDbtp->value);
    return profile;
}
} // namespace sovahost
