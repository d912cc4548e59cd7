// SPDX-License-Identifier: MIT
// encode --jobs: the segments' joined frames are byte for byte the serial encode's over the
// settings that shape a frame (every psychoacoustic model and mode, CRC, energy, padding at the
// MPEG-1 and LSF rates, mono, a float source, a resampled one, a downmixed 5.1 one, one brought
// to a loudness, and FLAC, 8-bit and piped sources; every source not resampled is read by each
// segment itself); short files take one job; a failed segment or a signal leaves nothing behind.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace {
using namespace hosttest;

// Tone and noise (so that joint stereo, the models and the bit allocation all have work), in the
// codec that ffmpeg's codecArgs name; a length that no segment size divides.
void MakeBusyAudio(const std::string& path, int rate, int channels, double seconds, const std::string& codec) {
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i 'sine=f=440:r=" + std::to_string(rate) + ":d=" +
                                std::to_string(seconds) + ",aeval=" +
                                (channels == 1 ? "val(0)*0.6+random(0)*0.05:c=mono" : "val(0)*0.5+random(0)*0.1|val(0)*0.3+random(1)*0.05:c=stereo") +
                                "' " + codec + " '" + path + "'";
    const testsupport::ProcessRun run = testsupport::RunShell(command);
    if (!run.Succeeded()) throw std::runtime_error("ffmpeg failed: " + command + "\n" + run.err);
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

class ParallelEncode : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir();
        MakeBusyAudio(dir->File("s44.wav"), 44100, 2, 12.3, "-c:a pcm_s16le");
        MakeBusyAudio(dir->File("f44.wav"), 44100, 2, 9.3, "-c:a pcm_f32le");
        MakeBusyAudio(dir->File("m48.wav"), 48000, 1, 11.7, "-c:a pcm_s16le");
        MakeBusyAudio(dir->File("s48.flac"), 48000, 2, 10.9, "-c:a flac -sample_fmt s16");
        MakeBusyAudio(dir->File("u32.wav"), 32000, 2, 13.1, "-c:a pcm_u8");
        // 5.1 whose mix would clip (the guard lowers it), and float samples beyond full scale.
        Shell("ffmpeg -nostdin -v error -y -i '" + dir->File("s44.wav") + "' -af 'pan=5.1|c0=c0|c1=c1|c2=0.9*c0+0.9*c1|"
              "c3=0.3*c0|c4=0.9*c0|c5=0.9*c1' -c:a pcm_s24le '" + dir->File("six44.wav") + "'");
        Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'aevalsrc=1.2*sin(2*PI*440*t)|0.7*sin(2*PI*660*t):"
              "s=48000:d=10.5' -c:a pcm_f32le '" + dir->File("over48.wav") + "'");
    }
    static void TearDownTestSuite() { delete dir; }
    // Encodes with `jobs` processes and segments of at least 55 frames; returns the file's bytes.
    // An input named "stdin:<file>" is <file> given on standard input.
    static std::string Encode(const std::string& input, int jobs, const std::string& settings, std::string* said = nullptr) {
        const std::string out = dir->File("jobs" + std::to_string(jobs) + ".mp2");
        const bool piped = input.starts_with("stdin:");
        const std::string file = dir->File(piped ? input.substr(6) : input);
        std::vector<std::string> args = {"-v", "encode", "--overwrite", "--no-progress", "--jobs", std::to_string(jobs),
                                         "--segment-frames", "55", piped ? "-" : file, out};
        for (const std::string& word : Words(settings)) args.push_back(word);
        const HostRun run = Host(args, piped ? file : "/dev/null");
        EXPECT_EQ(run.status, 0) << input << " " << settings << ": " << run.err;
        if (said) *said = run.out + run.err;
        return ReadText(out);
    }
    static TempDir* dir;
};
TempDir* ParallelEncode::dir = nullptr;

TEST_F(ParallelEncode, TwoAndThreeJobsWriteTheSerialBytes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"s44.wav", "-P -1"}, {"s44.wav", "-P 0"}, {"s44.wav", "-P 2"},
        {"s44.wav", "-P 3 -l -3.5"}, {"s44.wav", "-P 4 -m s"}, {"s44.wav", "-m j -P 2"},
        {"s44.wav", "-m d"}, {"s44.wav", "-m m"}, {"s44.wav", "-m j -P 4 -p -E"},
        // Padding follows a running remainder at 44.1 and 22.05 kHz (49 frames at these bitrates, 7 at 224).
        {"s44.wav", "-d -b 192"}, {"s44.wav", "-d -b 224 -m j -p"}, {"s44.wav", "-d -b 128 --rate 32000"},
        {"s44.wav", "-d --rate 48000 -P 3"}, {"s44.wav", "--rate 22050 -d -b 96"}, {"s44.wav", "--rate 24000 -b 64 -P 2"},
        {"s44.wav", "--rate 16000 -b 48 -m m -E"}, {"m48.wav", "-P 4 -p -E -d"}, {"m48.wav", "--rate 22050 -d -b 56"},
        {"f44.wav", "-P 1 -d"}, {"f44.wav", "--rate 48000 -m j"}, {"s44.wav", "--channels 1 -d -b 160"},
        // FLAC, 8-bit, standard input; a mix with its guard, and a gain for the loudness.
        {"s48.flac", "-P 2 -E"}, {"u32.wav", "-d -b 96 -m j"}, {"stdin:s48.flac", "-b 256"},
        {"six44.wav", "-b 256"}, {"six44.wav", "--loudness -20 -m m -b 128"}, {"f44.wav", "--loudness -30 --rate 32000"},
        {"s44.wav", "--loudness -16 --true-peak -3 -d"},
    };
    // The sanitizer build takes every SOVA_PARALLEL_STRIDE-th case.
    const char* strideText = std::getenv("SOVA_PARALLEL_STRIDE");
    const size_t stride = strideText ? std::max(1, std::atoi(strideText)) : 1;
    for (size_t i = 0; i < cases.size(); i += stride) {
        const auto& [input, settings] = cases[i];
        SCOPED_TRACE(input + " " + settings);
        const std::string serial = Encode(input, 1, settings);
        ASSERT_GT(serial.size(), 10000u);
        for (const int jobs : {2, 3}) {
            std::string said;
            const std::string joined = Encode(input, jobs, settings, &said);
            EXPECT_TRUE(Contains(said, "encoding in " + std::to_string(jobs) + " segments")) << said;
            // Sources that are not resampled are read by each segment from its own offset.
            EXPECT_EQ(Contains(said, "each reading the source itself"), !Contains(settings, "--rate")) << said;
            EXPECT_TRUE(joined == serial) << jobs << " jobs: " << joined.size() << " bytes, serial " << serial.size();
        }
    }
}

// The module clips float samples beyond full scale; what is said of them is what the serial
// encode says, though each segment counts its own.
TEST_F(ParallelEncode, SamplesBeyondFullScaleAreCountedOnce) {
    std::string serialSaid, joinedSaid;
    const std::string serial = Encode("over48.wav", 1, "-b 256", &serialSaid);
    const std::string joined = Encode("over48.wav", 3, "-b 256", &joinedSaid);
    EXPECT_TRUE(joined == serial);
    const auto clipped = [](const std::string& said) {
        const size_t end = said.find(" samples beyond full scale were clipped");
        return end == std::string::npos ? std::string("none") : said.substr(said.rfind(' ', end - 1) + 1, end - said.rfind(' ', end - 1) - 1);
    };
    EXPECT_NE(clipped(serialSaid), "none") << serialSaid;
    EXPECT_EQ(clipped(joinedSaid), clipped(serialSaid)) << joinedSaid;
    EXPECT_TRUE(Contains(joinedSaid, "each reading the source itself")) << joinedSaid;
}

TEST_F(ParallelEncode, FilesUnderTwoSegmentsTakeOneJobAndSaySo) {
    const HostRun run = Host({"encode", "--overwrite", "--no-progress", "--jobs", "4", dir->File("f44.wav"),
                              dir->File("short.mp2")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "one job: 410130 samples are too few for segments of 230 frames")) << run.out;
    // 12.3 s: two segments of the shortest worth a process.
    const HostRun two = Host({"-v", "encode", "--overwrite", "--no-progress", "--jobs", "4", dir->File("s44.wav"),
                              dir->File("short.mp2")});
    EXPECT_TRUE(Contains(two.out, "encoding in 2 segments")) << two.out;
}

TEST_F(ParallelEncode, APipeIsReadOnceAndGivesTheSerialBytes) {
    // A named pipe cannot be opened again by each segment: it is converted once instead.
    const std::string fifo = dir->File("pipe.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t writer = testsupport::StartProcess({"cat", dir->File("s44.wav")}, fifo, "/dev/null");
    ASSERT_GT(writer, 0);
    std::string said;
    const std::string piped = Encode("pipe.wav", 2, "-P 2", &said);
    waitpid(writer, nullptr, 0);
    EXPECT_TRUE(Contains(said, "encoding in 2 segments")) << said;
    EXPECT_FALSE(Contains(said, "each reading the source itself")) << said;
    EXPECT_TRUE(piped == Encode("s44.wav", 1, "-P 2"));
}

// The children of a running encode (forked, so they share its command line).
std::vector<pid_t> Children(pid_t parent) {
    std::vector<pid_t> pids;
    std::istringstream in(ReadText("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children"));
    for (pid_t pid; in >> pid;) pids.push_back(pid);
    return pids;
}

TEST_F(ParallelEncode, AFailedSegmentOrASignalLeavesNothing) {
    // Long enough (model 4, 100 s) for the children to be caught while they encode.
    MakeBusyAudio(dir->File("long.wav"), 44100, 2, 100, "-c:a pcm_s16le");
    for (const bool killChild : {true, false}) {
        SCOPED_TRACE(killChild ? "a segment killed" : "encode stopped with SIGTERM");
        const fs::path out = dir->File(killChild ? "killed" : "stopped");
        fs::create_directories(out);
        const pid_t pid = testsupport::StartProcess(
            HostCommand({"encode", "--no-progress", "-P", "4", "--jobs", "3", dir->File("long.wav"), (out / "x.mp2").string()}),
            dir->File("run.out"), dir->File("run.err"), NoDisplay("/dev/null"));
        std::vector<pid_t> children;
        for (int waited = 0; waited < 3000 && children.size() < 3; ++waited) {
            children = Children(pid);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_EQ(children.size(), 3u) << ReadText(dir->File("run.err"));
        kill(killChild ? children[1] : pid, killChild ? SIGKILL : SIGTERM);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        if (killChild) {
            EXPECT_EQ(WEXITSTATUS(status), 1);
            EXPECT_TRUE(Contains(ReadText(dir->File("run.err")), "segment 2 failed: ended by signal 9"))
                << ReadText(dir->File("run.err"));
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
        }
        for (const pid_t child : children) // gone, and reaped by their parent
            for (int waited = 0; waited < 300 && kill(child, 0) == 0; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const pid_t child : children) EXPECT_NE(kill(child, 0), 0) << child;
        EXPECT_TRUE(Listing(out.string()).empty()) << *Listing(out.string()).begin();
    }
}
// convert hands each file's encode its options as they were typed (global ones after the command
// too), and shares the jobs that no file takes among the files left: one file with three jobs is
// encoded in segments, into the serial bytes.
TEST_F(ParallelEncode, ConvertSharesLeftOverJobsAndHandsOnTheOptionsAsTyped) {
    const std::string input = dir->File("long.wav"), output = dir->File("long.mp2");
    MakeBusyAudio(input, 44100, 2, 24.0, "-c:a pcm_s16le");
    const std::vector<std::string> settings = {"-b", "128k", "-m", "j", "-p", "--rate", "32000"};
    std::vector<std::string> serial = {"encode", "--no-progress", "--jobs", "1", input, dir->File("serial.mp2")};
    serial.insert(serial.end(), settings.begin(), settings.end());
    ASSERT_EQ(Host(serial).status, 0);
    std::ofstream(output) << "an older file, replaced because -y follows the command";

    std::vector<std::string> convert = {"convert", "--jobs", "3", input};
    convert.insert(convert.end(), settings.begin(), settings.end());
    convert.push_back("-y");
    const HostRun run = Host(convert);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, ", 3 jobs)")) << run.out;
    EXPECT_EQ(ReadText(output), ReadText(dir->File("serial.mp2")));
}
} // namespace
