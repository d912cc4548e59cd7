// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterInfoCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("info", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'info' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
