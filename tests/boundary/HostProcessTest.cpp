// sova-host as a user runs it: a separate process, its output and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {
struct HostRun {
    int status = -1;
    std::string output; // stdout and stderr together
};

HostRun RunHost(const std::string& arguments) {
    HostRun run;
    const std::string command = std::string("'") + SOVA_HOST_PATH + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
    const int waited = pclose(pipe);
    run.status = WIFEXITED(waited) ? WEXITSTATUS(waited) : -1;
    return run;
}

TEST(SovaHost, HelpListsTheCommands) {
    const HostRun run = RunHost("--help");
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* command : {"preferred", "info", "decode", "encode", "settings", "--module"})
        EXPECT_NE(run.output.find(command), std::string::npos) << command << " missing from:\n" << run.output;
}

TEST(SovaHost, PreferredShowsSixteenBitStereoAt44100) {
    const HostRun run = RunHost(std::string("--module '") + SOVA_MODULE_PATH + "' preferred");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("channels: 2\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("sample rate: 44100 Hz\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("sample format: 20 (16-bit signed)\n"), std::string::npos) << run.output;
}

TEST(SovaHost, ACommandIsRequiredAndAMissingModuleIsReported) {
    const HostRun none = RunHost("");
    EXPECT_NE(none.status, 0);
    EXPECT_NE(none.output.find("preferred"), std::string::npos) << none.output;

    const HostRun missing = RunHost("--module /nonexistent/SovaMp2.sova preferred");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.output.find("/nonexistent/SovaMp2.sova"), std::string::npos) << missing.output;
}
} // namespace
