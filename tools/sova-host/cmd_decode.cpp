// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterDecodeCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("decode", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'decode' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
