// SPDX-License-Identifier: MIT
// sova-host startup: drives the module's lifetime selectors -- by default 0 (registration,
// which also starts the plug-in), 1 (start-up) and 2 (shut-down) -- and prints each result,
// what the module registered, and which module resources are alive afterwards. With --trace
// the module's own account of binding the codec libraries appears on stderr.
#include <exception>
#include <string>
#include <vector>

#include <fmt/core.h>

#include <tsacore/config/Error.h>
#include <tsaui/drawbot/Supplier.h>
#include <tsaui/utility/OS_ResourceManager.h>
#include <uit/ImageProvider.h>

#include "Commands.h"
#include "RunCommand.h"
#include "module/HostObjects.h"

namespace sovahost {
namespace {
const char* SelectorName(int32_t selector) {
    switch (selector) {
    case sova::sdk::kSelectorDescribePlugIn: return "register";
    case sova::sdk::kSelectorStartup: return "startup";
    case sova::sdk::kSelectorShutdown: return "shutdown";
    default: return "other";
    }
}

void PrintRegistration(const Registrar& registrar) {
    for (const auto& [identifier, name] : registrar.identities)
        fmt::print("  registered: {} \"{}\"\n", identifier, ToUtf8(name));
    for (const Registrar::Format& format : registrar.formats) {
        std::string extensions;
        for (const std::string& extension : format.extensions)
            extensions += (extensions.empty() ? "" : " ") + extension;
        fmt::print("  format{}: \"{}\" ({})\n", format.again ? " (again)" : "", ToUtf8(format.name), extensions);
    }
}

void PrintResources() {
    fmt::print("  alive: {} resource manager(s), {} image provider(s), {} drawing supplier(s)\n",
               tsaui::utility::OS_ResourceManager::LiveCount(), uit::ImageProvider::LiveCount(),
               tsaui::drawbot::SupplierInterface::LiveCount());
}
} // namespace

void RegisterStartupCommand(CLI::App& app, HostOptions& options) {
    auto selectors = std::make_shared<std::vector<int32_t>>(std::vector<int32_t>{
        sova::sdk::kSelectorDescribePlugIn, sova::sdk::kSelectorStartup, sova::sdk::kSelectorShutdown});
    CLI::App* command = app.add_subcommand("startup", "Register, start and shut down the plug-in (selectors 0, 1, 2)");
    command->add_option("--selectors", *selectors, "Lifetime selectors to send, in order (0, 1 or 2)")
        ->delimiter(',')
        ->check(CLI::Range(0, 2))
        ->capture_default_str();
    RunsAs(*command, options, [&options, selectors] {
        ApplyHostOptions(options);
        HostModule module(options.modulePath);
        int exitStatus = 0;
        for (const int32_t selector : *selectors) {
            Registrar registrar;
            int32_t result = 0;
            try {
                result = module.Call(selector, nullptr, selector == sova::sdk::kSelectorDescribePlugIn ? &registrar : nullptr);
            } catch (const tsacore::config::Error& error) {
                fmt::print("selector {} ({}): raised \"{}\"\n", selector, SelectorName(selector), ToUtf8(error.Message()));
                return 1; // an error leaving the module ends the session, as it would a host's
            } catch (const std::exception& error) {
                fmt::print("selector {} ({}): raised \"{}\"\n", selector, SelectorName(selector), error.what());
                return 1;
            }
            fmt::print("selector {} ({}): {} ({})\n", selector, SelectorName(selector), result,
                       sova::sdk::ResultText(result));
            PrintRegistration(registrar);
            PrintResources();
            if (result != sova::sdk::kResultOK) exitStatus = 1;
        }
        return exitStatus;
    });
}
} // namespace sovahost
