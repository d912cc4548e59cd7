// SPDX-License-Identifier: MIT
#include "RunCommand.h"

#include <cstdio>
#include <exception>

namespace sovahost {
namespace {
constexpr int kJobFailed = 1;

void Report(const std::function<std::string()>& context, const char* reason) {
    std::fflush(stdout); // the command's own lines first
    if (context)
        std::fprintf(stderr, "sova-host: %s: %s\n", context().c_str(), reason);
    else
        std::fprintf(stderr, "sova-host: %s\n", reason);
}
} // namespace

void RunsAs(CLI::App& command, HostOptions& options, std::function<int()> body, std::function<std::string()> context) {
    command.callback([&options, body = std::move(body), context = std::move(context)] {
        try {
            options.exitCode = body();
        } catch (const CommandFailure& failure) {
            Report({}, failure.what());
            options.exitCode = failure.exitStatus;
        } catch (const std::exception& failure) {
            Report(context, failure.what());
            options.exitCode = kJobFailed;
        }
    });
}
} // namespace sovahost
