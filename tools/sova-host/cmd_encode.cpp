// Placeholder: this command is not built yet.
#include <cstdio>

#include "Commands.h"

namespace sovahost {
void RegisterEncodeCommand(CLI::App& app, HostOptions& options) {
    app.add_subcommand("encode", "(not available yet)")->callback([&options] {
        std::fprintf(stderr, "sova-host: 'encode' is not available yet\n");
        options.exitCode = 2;
    });
}
} // namespace sovahost
