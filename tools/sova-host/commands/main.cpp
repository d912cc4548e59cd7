// SPDX-License-Identifier: MIT
// sova-host: a reference host that loads a Sova plug-in module and drives it the way an
// audio editor would.
#include <cstdio>
#include <exception>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "host/SignalCleanup.h"

namespace {
// Exit statuses: 0 success, 1 a job failed (set by the command), 2 a usage error.
constexpr int kUsageError = 2;

// One line for a wrong command line, and where to read more.
std::string UsageFailure(const CLI::App* app, const CLI::Error& error) {
    // The help of the command being parsed, when the error came from one.
    for (const CLI::App* sub = app; sub;) {
        const auto chosen = sub->get_subcommands();
        if (chosen.empty()) break;
        app = sub = chosen.front();
    }
    std::string command = app->get_name();
    for (const CLI::App* parent = app->get_parent(); parent; parent = parent->get_parent())
        command = parent->get_name() + " " + command;
    return std::string("sova-host: ") + error.what() + "\nTry '" + command + " --help' for more information.\n";
}
} // namespace

int main(int argc, char** argv) {
    sovahost::InstallInterruptCleanup(); // before any command makes a file
    sovahost::HostOptions options;
    options.modulePath = sovahost::DefaultModulePath();

    CLI::App app{"sova-host: open, inspect, decode and encode audio through a Sova plug-in module "
                 "(MPEG audio in, MPEG Audio Layer II out with the SovaMp2 module).",
                 "sova-host"};
    app.set_version_flag("--version", "sova-host " SOVA_VERSION, "Show the version and exit");
    app.set_help_all_flag("--help-all", "Show help for every command");
    app.add_option("--module", options.modulePath, "Plug-in module to load")->capture_default_str();
    app.add_option("--codec-dir", options.codecFolders,
                   "Folder searched for the codec libraries before the system's (repeatable)");
    app.add_flag("--codec-dir-only", options.codecFoldersOnly, "Search only the --codec-dir folders");
    app.add_flag("--trace", options.trace, "Print the module's trace lines on stderr");
    app.add_option("--translations", options.translationsPath, "Translations for the localiser (key=text lines)");
    app.add_flag("-q,--quiet", options.quiet, "Show errors and warnings only");
    app.add_flag("-v,--verbose", options.verbose, "Show settings texts and other details as well");
    auto* overwrite = app.add_flag("-y,--overwrite", options.overwrite, "Replace output files that exist");
    bool keep = false; // the default; accepted for scripts written for ffmpeg
    app.add_flag("-n,--no-overwrite", keep, "Keep output files that exist and fail instead (the default)")->excludes(overwrite);
    app.fallthrough(); // global options may follow the command too
    app.require_subcommand(1);
    app.failure_message(UsageFailure);
    app.footer("Global options may come before or after the command. Outputs are written in a private folder "
               "(.sova-host-PID-XXXXXX) next to them and moved into place when complete; an output that exists is "
               "kept unless -y is given. What a killed run leaves is named by the next run into that folder and "
               "removed by 'sova-host clean FOLDER'.\n"
               "Exit status: 0 success, 1 a job failed, 2 a usage error. "
               "Run 'sova-host COMMAND --help' for a command's options.");

    sovahost::RegisterStartupCommand(app, options);
    sovahost::RegisterPreferredCommand(app, options);
    sovahost::RegisterRegisterCommand(app, options);
    sovahost::RegisterConformCommand(app, options);
    sovahost::RegisterInfoCommand(app, options);
    sovahost::RegisterDecodeCommand(app, options);
    sovahost::RegisterEncodeCommand(app, options);
    sovahost::RegisterConvertCommand(app, options);
    sovahost::RegisterSettingsCommand(app, options);
    sovahost::RegisterCleanCommand(app, options);
    sovahost::RegisterCheckCommand(app, options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) { // --help, --help-all, --version
        return app.exit(done);
    } catch (const CLI::ParseError& error) {
        // A word where the command should be is not "a missing command": name it.
        if (app.get_subcommands().empty() && !app.remaining().empty()) {
            std::fprintf(stderr, "sova-host: unknown command '%s'\nTry 'sova-host --help' for the commands.\n",
                         app.remaining().front().c_str());
            return kUsageError;
        }
        app.exit(error);
        return kUsageError;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sova-host: %s\n", error.what());
        return 1;
    }
    return options.exitCode;
}
