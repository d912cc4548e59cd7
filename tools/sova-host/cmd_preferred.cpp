// sova-host preferred: the format the module would rather be handed for saving (selector 13).
#include <fmt/core.h>

#include "Commands.h"
#include "HostObjects.h"

namespace sovahost {
void RegisterPreferredCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("preferred", "Show the module's preferred write format")->callback([&options] {
        ApplyHostOptions(options);
        HostModule module(options.modulePath);
        MessageSink sink;
        AudioFormat format;
        format.sink = &sink;
        const int32_t result = module.Call(sova::sdk::kSelectorGetPreferredWriteFormat, nullptr, &format);
        if (result != sova::sdk::kResultOK) {
            fmt::print(stderr, "sova-host: the module refused (result {}: {})\n", result, sova::sdk::ResultText(result));
            options.exitCode = 1;
            return;
        }
        fmt::print("channels: {}\nsample rate: {} Hz\nsample format: {}\n", format.channelCount, format.sampleRate,
                   format.sampleFormat);
    });
}
} // namespace sovahost
