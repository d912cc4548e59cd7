// SPDX-License-Identifier: MIT
// sova-host clean FOLDER...: removes what sova-host runs that were killed (kill -9, a crash, a
// power cut) left in these folders: their private folders with the unfinished file inside.
// A running sova-host's files are never touched.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "RunCommand.h"
#include "host/Leftovers.h"

namespace sovahost {
namespace {
int Clean(const HostOptions& options, const std::vector<std::string>& folders) {
    int exitCode = 0;
    for (const std::string& folder : folders) {
        struct stat info {};
        const bool found = stat(folder.c_str(), &info) == 0;
        if (!found || !S_ISDIR(info.st_mode)) {
            std::fprintf(stderr, "sova-host: cannot clean '%s': %s\n", folder.c_str(),
                         found ? "it is not a folder" : std::strerror(errno));
            exitCode = 1;
            continue;
        }
        const size_t leftovers = FindLeftovers(folder).size();
        if (RemoveLeftovers(folder) != 0) exitCode = 1;
        if (leftovers == 0 && !options.quiet) std::printf("nothing left over in '%s'\n", folder.c_str());
    }
    return exitCode;
}
} // namespace

void RegisterCleanCommand(CLI::App& app, HostOptions& options) {
    auto folders = std::make_shared<std::vector<std::string>>();
    CLI::App* command = app.add_subcommand(
        "clean", "Remove the unfinished files that killed sova-host runs left in folders (never a running one's)");
    command->add_option("folders", *folders, "Folders to clean: the output folders, or the temporary folder")->required();
    RunsAs(*command, options, [&options, folders] { return Clean(options, *folders); });
}
} // namespace sovahost
