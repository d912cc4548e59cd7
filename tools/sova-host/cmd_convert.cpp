// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterConvertCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("convert", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'convert' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
