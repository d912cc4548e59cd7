// SPDX-License-Identifier: MIT
// sova-host as a user runs it: a separate process, its output and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Process.h"

namespace {
// Exit status and stdout and stderr together.
std::pair<int, std::string> RunHost(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), SOVA_HOST_PATH);
    const testsupport::ProcessRun run = testsupport::RunProcess(std::move(arguments), {.mergeStderr = true});
    return {run.ExitCode(), run.out};
}

TEST(SovaHost, HelpListsTheCommands) {
    const auto [status, output] = RunHost({"--help"});
    EXPECT_EQ(status, 0) << output;
    for (const char* command : {"preferred", "info", "decode", "encode", "settings", "--module"})
        EXPECT_NE(output.find(command), std::string::npos) << command << " missing from:\n" << output;
}

TEST(SovaHost, PreferredShowsSixteenBitStereoAt44100) {
    const auto [status, output] = RunHost({"--module", SOVA_MODULE_PATH, "preferred"});
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("channels: 2\nsample rate: 44100 Hz\nsample format: 20 (16-bit signed)\n"), std::string::npos)
        << output;

    const auto [missingStatus, missingOutput] = RunHost({"--module", "/nonexistent/SovaMp2.sova", "preferred"});
    EXPECT_NE(missingStatus, 0);
    EXPECT_NE(missingOutput.find("/nonexistent/SovaMp2.sova"), std::string::npos) << missingOutput;
}
} // namespace
