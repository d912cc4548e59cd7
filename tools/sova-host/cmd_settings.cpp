// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterSettingsCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("settings", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'settings' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
