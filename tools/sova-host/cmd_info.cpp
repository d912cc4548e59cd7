// sova-host info FILE...: opens each file through the module and prints what the module
// reports about it, or the result code in words when it refuses the file.
#include <cstdio>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "host/ReadSession.h"

namespace sovahost {
namespace {
std::string ChannelTypes(const AudioFormat& format) {
    std::string text;
    for (int32_t channel = 0; channel < format.channelCount; ++channel) {
        if (channel) text += ", ";
        const auto found = format.channelTypes.find(channel);
        text += found == format.channelTypes.end() ? std::string("unset") : std::to_string(found->second);
    }
    return text;
}

std::string LengthText(const AudioFormat& format) {
    if (format.length < 0) return fmt::format("{} (unknown)", format.length);
    if (format.sampleRate <= 0) return fmt::format("{} frames", format.length);
    return fmt::format("{} frames ({:.3f} s)", format.length,
                       static_cast<double>(format.length) / format.sampleRate);
}

// Prints one file's report; returns false when the module refused it.
bool Describe(StartedModule& module, const std::string& path) {
    ReadSession session(module, path);
    const int32_t result = session.Open();
    fmt::print("{}\n", path);
    if (result != sova::sdk::kResultOK) {
        fmt::print("  refused:      {}\n", ResultInWords(result));
        if (!session.OpenedFile().description.empty())
            fmt::print("  description:  {}\n", ToUtf8(session.OpenedFile().description));
        return false;
    }
    const AudioFormat& format = session.Format();
    fmt::print("  description:  {}\n", ToUtf8(session.OpenedFile().description));
    fmt::print("  sample rate:  {} Hz\n", format.sampleRate);
    fmt::print("  channels:     {} (types {})\n", format.channelCount, ChannelTypes(format));
    fmt::print("  samples:      format code {}{}\n", format.sampleFormat,
               format.sampleFormat == 40 ? " (32-bit float)" : "");
    fmt::print("  settings:     {}\n", ToUtf8(format.settingsText));
    fmt::print("  length:       {}\n", LengthText(format));
    return true;
}
} // namespace

void RegisterInfoCommand(CLI::App& app, HostOptions& options) {
    auto* command = app.add_subcommand("info", "Open files through the module and show what it reports about them");
    static std::vector<std::string> files;
    command->add_option("files", files, "Files to open")->required();
    command->callback([&options] {
        StartedModule module(options);
        if (module.StartResult() != sova::sdk::kResultOK) {
            std::fprintf(stderr, "sova-host: the module did not start: %s\n", ResultInWords(module.StartResult()).c_str());
            options.exitCode = 1;
            return;
        }
        bool allOpened = true;
        for (const std::string& file : files) allOpened = Describe(module, file) && allOpened;
        std::fflush(stdout);
        options.exitCode = allOpened ? 0 : 1;
    });
}
} // namespace sovahost
