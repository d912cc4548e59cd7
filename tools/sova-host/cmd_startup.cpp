// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterStartupCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("startup", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'startup' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
