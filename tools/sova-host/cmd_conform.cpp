// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterConformCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("conform", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'conform' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
