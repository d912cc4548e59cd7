// SPDX-License-Identifier: MIT
// How every sova-host command runs. A command's body returns its exit status (0, or 1 when it
// reported a failure itself, e.g. one file of many) or throws; the wrapper prints what was thrown
// as one "sova-host: ..." line on stderr, after what the command printed, and exits 1, or the
// status a CommandFailure carries.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "module/HostModule.h"

namespace sovahost {
// A failure with an exit status of its own: 2 for a command line that asks for something
// impossible, found after parsing; a command's documented status otherwise.
struct CommandFailure : std::runtime_error {
    CommandFailure(const std::string& message, int status) : std::runtime_error(message), exitStatus(status) {}
    int exitStatus;
};
constexpr int kUsageError = 2;

// Makes body the callback of command; its exit status goes to options.exitCode. context, when
// given, names what failed before the reason ("encoding 'x.wav' failed: ..."); it is called only
// on failure. body and context live as long as the command.
void RunsAs(CLI::App& command, HostOptions& options, std::function<int()> body,
            std::function<std::string()> context = {});
} // namespace sovahost
