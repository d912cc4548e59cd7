// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterRegisterCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("register", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'register' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
