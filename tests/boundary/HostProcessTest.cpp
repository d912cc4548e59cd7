// SPDX-License-Identifier: MIT
// sova-host as a user runs it: a separate process, its output and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {
// Exit status and stdout and stderr together.
std::pair<int, std::string> RunHost(const std::string& arguments) {
    FILE* pipe = popen(("'" SOVA_HOST_PATH "' " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string output;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    const int waited = pclose(pipe);
    return {WIFEXITED(waited) ? WEXITSTATUS(waited) : -1, output};
}

TEST(SovaHost, HelpListsTheCommands) {
    const auto [status, output] = RunHost("--help");
    EXPECT_EQ(status, 0) << output;
    for (const char* command : {"preferred", "info", "decode", "encode", "settings", "--module"})
        EXPECT_NE(output.find(command), std::string::npos) << command << " missing from:\n" << output;
}

TEST(SovaHost, PreferredShowsSixteenBitStereoAt44100) {
    const auto [status, output] = RunHost("--module '" SOVA_MODULE_PATH "' preferred");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("channels: 2\nsample rate: 44100 Hz\nsample format: 20 (16-bit signed)\n"), std::string::npos)
        << output;

    const auto [missingStatus, missingOutput] = RunHost("--module /nonexistent/SovaMp2.sova preferred");
    EXPECT_NE(missingStatus, 0);
    EXPECT_NE(missingOutput.find("/nonexistent/SovaMp2.sova"), std::string::npos) << missingOutput;
}
} // namespace
