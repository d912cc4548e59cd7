// SPDX-License-Identifier: MIT
// sova-host's data safety, as a user meets it: every signal that ends it, a closed pipe, a file
// size limit and a killed convert leave no file anywhere (output folder and $TMPDIR); what a
// kill -9 leaves is named by the next run and removed by `clean`, never a running run's; the
// file reaches the disk before its final name does; the longest legal name works.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace {
using namespace hosttest;

constexpr const char* kPrivatePrefix = ".sova-host-";

// Waits up to 30 s for done(); a bound, so that a sova-host that failed early cannot hang the test.
bool WaitFor(const std::function<bool()>& done) {
    for (int waited = 0; waited < 3000; ++waited) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The private folders in folder, by name.
std::vector<std::string> PrivateFolders(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(kPrivatePrefix)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Whether a process is running with text in its command line (children of a killed convert).
bool RunningWith(const std::string& text) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        std::string words = ReadText(entry.path() / "cmdline");
        std::replace(words.begin(), words.end(), '\0', ' ');
        // A zombie waiting for its reaper has ended.
        if (Contains(words, text) && !Contains(ReadText(entry.path() / "stat"), ") Z ")) return true;
    }
    return false;
}

class DataSafety : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(out);
        fs::create_directories(tmp);
        // 10 s: an MP2 of 240 KB, more than a pipe holds.
        MakeAudio(dir.File("long.wav"), 44100, 2, 10.0);
    }
    void TearDown() override {
        for (const pid_t pid : running) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        for (const int fd : writers) close(fd);
    }
    // In the child: $TMPDIR is the test's own folder, and whatever else is asked.
    testsupport::ProcessSetup Setup(const std::string& stdinPath, std::function<void()> more = {}) {
        const std::string folder = tmp;
        return NoDisplay(stdinPath, [folder, more] {
            setenv("TMPDIR", folder.c_str(), 1);
            if (more) more();
        });
    }
    HostRun Run(const std::vector<std::string>& args, const std::string& stdinPath = "/dev/null",
                std::function<void()> inChild = {}) {
        return testsupport::RunProcess(HostCommand(args), Setup(stdinPath, std::move(inChild)));
    }
    // sova-host started with standard input from a pipe that stays open and empty: it has made
    // its private folders (the output's, the input copy's) and waits. The caller ends it.
    pid_t StartWaiting(std::vector<std::string> args, const std::string& outputFolder) {
        const std::string fifo = dir.File("fifo" + std::to_string(++fifos));
        if (mkfifo(fifo.c_str(), 0600) != 0) return -1;
        const size_t outputs = PrivateFolders(outputFolder).size(), inputs = PrivateFolders(tmp).size();
        const pid_t pid = testsupport::StartProcess(HostCommand(std::move(args)), dir.File("run.out"),
                                                    dir.File("run.err"), Setup(fifo));
        running.push_back(pid);
        writers.push_back(open(fifo.c_str(), O_WRONLY)); // once the child has opened its end
        const bool made =
            WaitFor([&] { return PrivateFolders(outputFolder).size() > outputs && PrivateFolders(tmp).size() > inputs; });
        EXPECT_TRUE(made) << "sova-host made no private folders within 30 s: " << ReadText(dir.File("run.err"));
        return pid;
    }
    int Wait(pid_t pid) {
        int status = -1;
        waitpid(pid, &status, 0);
        running.erase(std::remove(running.begin(), running.end(), pid), running.end());
        return status;
    }
    void ExpectNothingLeft(const std::string& what) {
        EXPECT_EQ(Listing(out), std::set<std::string>{}) << what;
        EXPECT_EQ(Listing(tmp), std::set<std::string>{}) << what;
    }

    TempDir dir;
    const std::string out = dir.File("out"), tmp = dir.File("tmp");
    std::vector<pid_t> running; // killed at the end if a failed test left them
    std::vector<int> writers;
    int fifos = 0;
};

TEST_F(DataSafety, PrivateFoldersAreTheOwnersAloneAndGoAfterSuccessAndFailure) {
    // While it runs: one private folder in the output folder and one in $TMPDIR, mode 0700,
    // named after the process, each holding one short-named file.
    const pid_t pid = StartWaiting({"encode", "-", out + "/song.mp2"}, out);
    const std::string prefix = kPrivatePrefix + std::to_string(pid) + "-";
    for (const auto& [folder, file] : {std::pair{out, "output.part"}, std::pair{tmp, "input.part"}}) {
        const std::vector<std::string> made = PrivateFolders(folder);
        ASSERT_EQ(made.size(), 1u) << folder;
        EXPECT_TRUE(made[0].starts_with(prefix) && made[0].size() == prefix.size() + 6) << made[0];
        struct stat info {};
        ASSERT_EQ(lstat((folder + "/" + made[0]).c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, 0700u) << folder;
        EXPECT_EQ(Listing(folder + "/" + made[0]), std::set<std::string>{file});
    }
    // Success: the audio arrives, the file is moved into place, both folders go.
    const std::string wav = ReadText(dir.File("long.wav"));
    ASSERT_EQ(write(writers.back(), wav.data(), wav.size()), static_cast<ssize_t>(wav.size()));
    close(writers.back());
    writers.pop_back();
    EXPECT_EQ(ExitCode(Wait(pid)), 0) << ReadText(dir.File("run.err"));
    EXPECT_EQ(Listing(out), std::set<std::string>{"song.mp2"});
    EXPECT_EQ(Listing(tmp), std::set<std::string>{});
    fs::remove(out + "/song.mp2");

    // Failure after both folders were made (the input is not audio): both go.
    const pid_t failing = StartWaiting({"encode", "-", out + "/song.mp2"}, out);
    ASSERT_EQ(write(writers.back(), "not audio at all", 16), 16);
    close(writers.back());
    writers.pop_back();
    EXPECT_EQ(ExitCode(Wait(failing)), 1);
    ExpectNothingLeft("after a failure");

    // Failure in the module (settings it refuses, handed over without negotiation), file to file.
    const HostRun refused = Run({"encode", "--no-conform", "-b", "8", dir.File("long.wav"), out + "/song.mp2"});
    EXPECT_EQ(refused.ExitCode(), 1) << refused.err;
    ExpectNothingLeft("after the module's refusal");
}

TEST_F(DataSafety, EverySignalThatEndsItLeavesNoFileAnywhere) {
    // Stopped while it waits for its input: 128 + the signal, every temporary file gone.
    for (const int signal : {SIGQUIT, SIGUSR1, SIGTERM, SIGINT, SIGHUP, SIGUSR2, SIGALRM}) {
        SCOPED_TRACE(strsignal(signal));
        const pid_t pid = StartWaiting({"encode", "-", out + "/song.mp2"}, out);
        kill(pid, signal);
        const int status = Wait(pid);
        EXPECT_EQ(ExitCode(status), 128 + signal) << status;
        ExpectNothingLeft(strsignal(signal));
    }

    // SIGPIPE: `encode in.wav - | head -c 100`. The reader takes 100 bytes and goes; sova-host
    // says so and fails, and neither the finished copy nor anything else stays in $TMPDIR.
    const std::string pipe = dir.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const pid_t pid = testsupport::StartProcess(HostCommand({"encode", dir.File("long.wav"), "-"}), pipe,
                                                dir.File("pipe.err"), Setup("/dev/null"));
    running.push_back(pid);
    const int reader = open(pipe.c_str(), O_RDONLY);
    char head[100];
    size_t got = 0;
    for (ssize_t n; got < sizeof head && (n = read(reader, head + got, sizeof head - got)) > 0;) got += n;
    close(reader);
    EXPECT_EQ(got, sizeof head);
    EXPECT_EQ(ExitCode(Wait(pid)), 1);
    const std::string said = ReadText(dir.File("pipe.err"));
    EXPECT_TRUE(Contains(said, "standard output was closed by the program reading it before the end")) << said;
    ExpectNothingLeft("SIGPIPE");

    // SIGXFSZ: a file size limit (ulimit -f) smaller than the output, than the copy of standard
    // input, and than a decoded WAV: each a failure in words, nothing left.
    ASSERT_EQ(Run({"encode", "-q", dir.File("long.wav"), dir.File("long.mp2")}).ExitCode(), 0);
    const auto limited = [] {
        const rlimit limit{50000, 50000};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    struct Case {
        std::vector<std::string> args;
        std::string stdinPath;
    };
    for (const Case& c : std::vector<Case>{{{"encode", dir.File("long.wav"), out + "/song.mp2"}, "/dev/null"},
                                           {{"encode", "-", out + "/song.mp2"}, dir.File("long.wav")},
                                           {{"decode", dir.File("long.mp2"), out + "/song.wav"}, "/dev/null"}}) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const HostRun run = Run(c.args, c.stdinPath, limited);
        EXPECT_EQ(run.ExitCode(), 1) << run.status << run.err;
        EXPECT_TRUE(Contains(run.err, "File too large")) << run.err;
        ExpectNothingLeft("SIGXFSZ");
    }
}

TEST_F(DataSafety, ConvertsChildrenEndWithItAndLeaveNothing) {
    // Inputs that never deliver (pipes no one writes to): the children wait with their private
    // folders made, until convert ends.
    fs::create_directories(dir.File("in"));
    const std::vector<std::string> inputs = {dir.File("in/a.wav"), dir.File("in/b.wav")};
    for (const std::string& input : inputs) ASSERT_EQ(mkfifo(input.c_str(), 0600), 0);
    for (const int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        const pid_t pid = testsupport::StartProcess(
            HostCommand({"convert", "-j", "2", "-O", out, inputs[0], inputs[1]}), dir.File("convert.out"),
            dir.File("convert.err"), Setup("/dev/null"));
        running.push_back(pid);
        ASSERT_TRUE(WaitFor([&] { return PrivateFolders(out).size() == 2; })) << ReadText(dir.File("convert.out"));
        kill(pid, signal);
        const int status = Wait(pid);
        if (signal == SIGTERM) {
            EXPECT_EQ(ExitCode(status), 128 + SIGTERM) << status;
        }
        EXPECT_TRUE(WaitFor([&] { return !RunningWith(out + "/"); })) << "children still running";
        ExpectNothingLeft(strsignal(signal));
        for (const std::string& input : inputs) // no reader left on either pipe
            EXPECT_LT(open(input.c_str(), O_WRONLY | O_NONBLOCK), 0) << input;
    }
}

TEST_F(DataSafety, LeftoversOfAKilledRunAreNamedAndCleanedNeverARunningOnes) {
    const pid_t killed = StartWaiting({"encode", "-", out + "/first.mp2"}, out);
    // Killed once its spool file exists, not between making the private folder and the file.
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::string> spools = PrivateFolders(tmp);
        return spools.size() == 1 && std::filesystem::exists(tmp + "/" + spools[0] + "/input.part");
    }));
    kill(killed, SIGKILL);
    Wait(killed);
    const std::vector<std::string> leftOut = PrivateFolders(out), leftTmp = PrivateFolders(tmp);
    ASSERT_EQ(leftOut.size(), 1u);
    ASSERT_EQ(leftTmp.size(), 1u);
    const pid_t alive = StartWaiting({"encode", "-", out + "/running.mp2"}, out);
    const std::string aliveName = kPrivatePrefix + std::to_string(alive) + "-";

    // The next run into these folders names the killed run's files, not the running one's.
    const HostRun next = Run({"encode", "-q", "-", out + "/next.mp2"}, dir.File("long.wav"));
    EXPECT_EQ(next.ExitCode(), 0) << next.err;
    for (const auto& [folder, file] : {std::pair{out, leftOut[0] + "/output.part"}, std::pair{tmp, leftTmp[0] + "/input.part"}})
        EXPECT_TRUE(Contains(next.err, "sova-host: warning: '" + folder + "' holds 1 unfinished file of sova-host runs "
                                       "that were killed: " + file + " (0 bytes); 'sova-host clean " + folder +
                                       "' removes them"))
            << next.err;
    EXPECT_FALSE(Contains(next.err, aliveName)) << next.err;
    EXPECT_EQ(std::count(next.err.begin(), next.err.end(), '\n'), 2) << next.err;

    // clean removes them and leaves the running run's folders alone.
    const HostRun clean = Run({"clean", out, tmp});
    EXPECT_EQ(clean.ExitCode(), 0) << clean.err;
    EXPECT_TRUE(Contains(clean.out, "removed " + out + "/" + leftOut[0] + "/output.part (0 bytes)")) << clean.out;
    EXPECT_TRUE(Contains(clean.out, "removed " + tmp + "/" + leftTmp[0] + "/input.part (0 bytes)")) << clean.out;
    for (const std::string& folder : {out, tmp}) {
        const std::vector<std::string> remaining = PrivateFolders(folder);
        ASSERT_EQ(remaining.size(), 1u) << folder;
        EXPECT_TRUE(remaining[0].starts_with(aliveName)) << remaining[0];
    }
    const HostRun again = Run({"clean", out});
    EXPECT_EQ(again.ExitCode(), 0);
    EXPECT_EQ(again.out, "nothing left over in '" + out + "'\n");
    EXPECT_EQ(Run({"clean", dir.File("missing")}).ExitCode(), 1);

    kill(alive, SIGTERM);
    EXPECT_EQ(ExitCode(Wait(alive)), 128 + SIGTERM);
    EXPECT_EQ(Listing(out), std::set<std::string>{"next.mp2"});
    EXPECT_EQ(Listing(tmp), std::set<std::string>{});
}

TEST_F(DataSafety, TheFileIsOnTheDiskBeforeItsNameAndTheFolderAfter) {
    // An interposed fsync and rename record the order of the calls.
    const std::string log = dir.File("calls.log");
    const auto recorded = [log] {
        setenv("LD_PRELOAD", SOVA_SYNC_RECORDER, 1);
        setenv("SOVA_SYNC_LOG", log.c_str(), 1);
    };
    struct Case {
        std::vector<std::string> args;
        std::string final;
    };
    for (const Case& c : std::vector<Case>{{{"encode", dir.File("long.wav"), out + "/song.mp2"}, out + "/song.mp2"},
                                           {{"decode", "-y", out + "/song.mp2", out + "/song.wav"}, out + "/song.wav"}}) {
        SCOPED_TRACE(c.args[0]);
        fs::remove(log);
        const HostRun run = Run(c.args, "/dev/null", recorded);
        ASSERT_EQ(run.ExitCode(), 0) << run.err;
        std::vector<std::string> calls;
        std::istringstream lines(ReadText(log));
        for (std::string line; std::getline(lines, line);) calls.push_back(line);
        const auto at = [&](const std::function<bool(const std::string&)>& match) {
            return std::find_if(calls.begin(), calls.end(), match) - calls.begin();
        };
        const auto rename = at([&](const std::string& call) { return call.starts_with("rename ") && call.ends_with(" " + c.final); });
        ASSERT_LT(rename, static_cast<long>(calls.size())) << ReadText(log);
        const std::string from = calls[rename].substr(7, calls[rename].size() - 8 - c.final.size());
        EXPECT_TRUE(from.starts_with(out + "/" + kPrivatePrefix) && from.ends_with("/output.part")) << from;
        const auto fileSynced = at([&](const std::string& call) { return call == "fsync " + from; });
        const auto folderSynced = at([&](const std::string& call) { return call == "fsync " + out; });
        EXPECT_LT(fileSynced, rename) << ReadText(log);
        EXPECT_GT(folderSynced, rename) << ReadText(log);
        EXPECT_LT(folderSynced, static_cast<long>(calls.size())) << ReadText(log);
    }
}

TEST_F(DataSafety, TheLongestLegalNamesWork) {
    // 255 bytes, the most a file name may hold here (250 and 255 bytes), for encode and decode.
    for (const size_t length : {250u, 255u}) {
        const std::string mp2 = out + "/" + std::string(length - 4, 'm') + ".mp2";
        const std::string wav = out + "/" + std::string(length - 4, 'w') + ".wav";
        HostRun run = Run({"encode", "-q", dir.File("long.wav"), mp2});
        EXPECT_EQ(run.ExitCode(), 0) << run.err;
        run = Run({"decode", "-q", mp2, wav});
        EXPECT_EQ(run.ExitCode(), 0) << run.err;
        EXPECT_GT(fs::file_size(mp2), 200000u);
        EXPECT_GT(fs::file_size(wav), 1000000u);
        fs::remove(mp2);
        fs::remove(wav);
    }
    ExpectNothingLeft("long names");
}

TEST_F(DataSafety, ARepeatedSettingsProblemIsOneLine) {
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "Bitrate:0:128;CRC:0:yes;";
    const HostRun run = Run({"encode", "-q", "--settings", text + "Copy:0:1", dir.File("long.wav"), out + "/x.mp2"});
    EXPECT_EQ(run.ExitCode(), 0) << run.err.substr(0, 1000);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err.substr(0, 1000);
    EXPECT_TRUE(Contains(run.err, "unknown key 'Bitrate' ignored (known keys: ATH, BitsPerSecond, CRC, ChannelMode, "
                                  "CompressionType, Copy, EmphasisType, Energy, MPEGVersion, Original, PAMType, "
                                  "PaddingType, ShowAdvanced) (seen 4000 times)"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "malformed entry 'CRC:0:yes;' ignored (the form is Key:0:integer;) (seen 4000 times)"))
        << run.err;
}
} // namespace
