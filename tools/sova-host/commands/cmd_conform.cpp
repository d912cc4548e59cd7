// SPDX-License-Identifier: MIT
// sova-host conform: proposes a save format (selector 14) and shows what the module made of it.
#include <optional>

#include <fmt/core.h>

#include "Commands.h"
#include "RunCommand.h"
#include "module/HostObjects.h"
#include "host/SettingsText.h"

namespace sovahost {
namespace {
struct ConformOptions {
    int32_t rate = 44100;
    int32_t channels = 2;
    std::optional<int64_t> length;
    std::string settings;
    bool noAdjust = false;
};

std::string TypeCodeText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((code >> shift) & 0xFF);
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}
} // namespace

void RegisterConformCommand(CLI::App& app, HostOptions& options) {
    auto conform = std::make_shared<ConformOptions>();
    CLI::App* command = app.add_subcommand("conform", "Negotiate a save format with the module");
    command->add_option("--rate", conform->rate, "Proposed sample rate (Hz)")->required();
    command->add_option("--channels", conform->channels, "Proposed channel count")->required();
    command->add_option("--length", conform->length, "Proposed length in sample frames (default: 10 s at --rate)");
    command->add_option("--settings", conform->settings, "Proposed settings text (default: empty)");
    command->add_flag("--no-adjust", conform->noAdjust, "Do not allow the module to adjust the format");
    RunsAs(*command, options, [&options, conform] {
        WarnAboutSettingsText(ReadSettingsText(conform->settings));
        ApplyHostOptions(options);
        HostModule module(options.modulePath);
        MessageSink sink;
        AudioFormat format;
        format.sink = &sink;
        format.sampleRate = conform->rate;
        format.channelCount = conform->channels;
        format.length = conform->length.value_or(int64_t{conform->rate} * 10);
        format.settingsText = FromUtf8(conform->settings);
        ConformRequest request;
        request.sink = &sink;
        request.format = &format;
        request.allowsAdjustment = conform->noAdjust ? 0 : 1;

        const int32_t result = module.Call(sova::sdk::kSelectorConformWriteFormat, nullptr, &request);
        fmt::print("result: {} ({})\n", result, sova::sdk::ResultText(result));
        fmt::print("sample rate: {} Hz\nchannels: {}\nlength: {} frames\n", format.sampleRate, format.channelCount,
                   format.length);
        fmt::print("MIME type: {}\ntype code: {} (0x{:08X})\n", format.mimeType, TypeCodeText(format.typeCode),
                   format.typeCode);
        fmt::print("estimated size: {} bytes\nsettings: {}\n", request.estimatedSize, ToUtf8(format.settingsText));
        fmt::print("description:\n{}", ToUtf8(request.description));
        if (!request.description.empty() && request.description.back() != u'\n') fmt::print("\n");
        return result == sova::sdk::kResultOK ? 0 : 1;
    });
}
} // namespace sovahost
