// sova-host: a reference host that loads a Sova plug-in module and drives it the way an
// audio editor would.
#include <cstdio>
#include <exception>

#include <CLI/CLI.hpp>

#include "Commands.h"

int main(int argc, char** argv) {
    sovahost::HostOptions options;
    options.modulePath = sovahost::DefaultModulePath();

    CLI::App app{"sova-host: open, inspect, decode and encode audio through a Sova plug-in module"};
    app.set_help_all_flag("--help-all", "Show help for every command");
    app.set_version_flag("--version", "sova-host " SOVA_VERSION);
    app.add_option("--module", options.modulePath, "Plug-in module to load")->capture_default_str();
    app.add_option("--codec-dir", options.codecFolders,
                   "Folder searched for the codec libraries before the system's (repeatable)");
    app.add_flag("--codec-dir-only", options.codecFoldersOnly, "Search only the --codec-dir folders");
    app.add_flag("--trace", options.trace, "Print the module's trace lines on stderr");
    app.add_option("--translations", options.translationsPath, "Translations for the localiser (key=text lines)");
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help); // a wrong command line shows the commands

    sovahost::RegisterStartupCommand(app, options);
    sovahost::RegisterPreferredCommand(app, options);
    sovahost::RegisterRegisterCommand(app, options);
    sovahost::RegisterConformCommand(app, options);
    sovahost::RegisterInfoCommand(app, options);
    sovahost::RegisterDecodeCommand(app, options);
    sovahost::RegisterEncodeCommand(app, options);
    sovahost::RegisterConvertCommand(app, options);
    sovahost::RegisterSettingsCommand(app, options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sova-host: %s\n", error.what());
        return 2;
    }
    return options.exitCode;
}
