// SPDX-License-Identifier: MIT
// sova-host register: what the module registers at selector 0 (identity and formats).
#include <fmt/core.h>

#include "Commands.h"
#include "RunCommand.h"
#include "module/HostObjects.h"

namespace sovahost {
namespace {
std::string JoinExtensions(const std::vector<std::string>& extensions) {
    std::string joined;
    for (const std::string& extension : extensions) joined += (joined.empty() ? "" : ", ") + extension;
    return joined;
}
} // namespace

void RegisterRegisterCommand(CLI::App& app, HostOptions& options) {
    CLI::App* command = app.add_subcommand("register", "Show what the module registers (identity and file formats)");
    RunsAs(*command, options, [&options] {
        ApplyHostOptions(options);
        HostModule module(options.modulePath);
        Registrar registrar;
        const int32_t result = module.Call(sova::sdk::kSelectorDescribePlugIn, nullptr, &registrar);
        fmt::print("result: {} ({})\n", result, sova::sdk::ResultText(result));
        for (const auto& [identifier, name] : registrar.identities)
            fmt::print("identifier: {}\nname: {}\n", identifier, ToUtf8(name));
        for (const Registrar::Format& format : registrar.formats)
            fmt::print("{}: {} (extensions: {})\n", format.again ? "format again" : "format", ToUtf8(format.name),
                       JoinExtensions(format.extensions));
        // A module that registers nothing could not start (a codec library is missing).
        const bool registered = !registrar.identities.empty() || !registrar.formats.empty();
        if (!registered) fmt::print("nothing registered\n");
        module.Call(sova::sdk::kSelectorShutdown, nullptr, nullptr);
        return result == sova::sdk::kResultOK && registered ? 0 : 1;
    });
}
} // namespace sovahost
