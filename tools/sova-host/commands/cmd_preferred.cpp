// SPDX-License-Identifier: MIT
// sova-host preferred: the format the module would rather be handed for saving (selector 13).
#include <fmt/core.h>

#include "Commands.h"
#include "RunCommand.h"
#include "module/HostObjects.h"

namespace sovahost {
namespace {
const char* SampleFormatName(int32_t code) {
    switch (code) {
    case sova::sdk::kSampleUInt8: return "8-bit unsigned";
    case sova::sdk::kSampleInt16: return "16-bit signed";
    case sova::sdk::kSampleInt24: return "24-bit signed";
    case sova::sdk::kSampleFloat32: return "32-bit float";
    default: return "unknown";
    }
}
} // namespace

void RegisterPreferredCommand(CLI::App& app, HostOptions& options) {
    CLI::App* command = app.add_subcommand("preferred", "Show the module's preferred write format");
    RunsAs(*command, options, [&options] {
        ApplyHostOptions(options);
        HostModule module(options.modulePath);
        MessageSink sink;
        AudioFormat format;
        format.sink = &sink;
        const int32_t result = module.Call(sova::sdk::kSelectorGetPreferredWriteFormat, nullptr, &format);
        if (result != sova::sdk::kResultOK)
            throw std::runtime_error(fmt::format("the module refused (result {}: {})", result, sova::sdk::ResultText(result)));
        fmt::print("channels: {}\nsample rate: {} Hz\nsample format: {} ({})\n", format.channelCount,
                   format.sampleRate, format.sampleFormat, SampleFormatName(format.sampleFormat));
        return 0;
    });
}
} // namespace sovahost
