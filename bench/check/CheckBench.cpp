// SPDX-License-Identifier: MIT
// sova-host check on a long file, run on demand:
//   check_bench [--minutes 60] [--repeat 1] [--extra "--loudness -23"]
// One minute of stereo 48000 Hz programme (pink noise under a tone) is encoded by twolame at
// 256 kbit/s with CRCs, repeated to --minutes (each copy a valid stream, every CRC intact), and
// checked: wall and CPU time, and seconds of checking per minute of audio.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "WriterTestSupport.h"

namespace {
using Clock = std::chrono::steady_clock;

double ChildrenCpuSeconds() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(children.ru_utime) + seconds(children.ru_stime);
}

void Run(const std::string& command) {
    const testsupport::ProcessRun run = testsupport::RunShell(command);
    if (!run.Succeeded()) {
        std::fprintf(stderr, "failed: %s\n%s", command.c_str(), run.err.c_str());
        std::exit(1);
    }
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}
} // namespace

int main(int argc, char** argv) {
    double minutes = 60;
    int repeat = 1;
    std::string extra;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--minutes")) minutes = std::max(1.0, std::atof(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--repeat")) repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--extra")) extra = argv[i + 1];
    }
    writertest::TempDir dir;
    const std::string wav = dir.File("minute.wav"), minute = dir.File("minute.mp2"), file = dir.File("long.mp2");
    Run("ffmpeg -nostdin -v error -y -f lavfi -i 'anoisesrc=c=pink:r=48000:a=0.2:d=60' -f lavfi -i "
        "'sine=f=523:r=48000:d=60' -filter_complex '[0][1]amerge=inputs=2' -c:a pcm_s16le '" + wav + "'");
    Run("twolame --quiet -p -b 256 '" + wav + "' '" + minute + "'");
    {
        std::ifstream in(minute, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < static_cast<int>(minutes); ++i) out << bytes;
    }
    const double audioMinutes = static_cast<int>(minutes) * 1.0; // whole copies of one minute (and a frame)
    std::printf("check of %.0f minutes of MPEG-1 Layer II, 48000 Hz stereo, 256 kbit/s with CRC %s(best of %d):\n",
                audioMinutes, extra.empty() ? "" : ("with " + extra + " ").c_str(), repeat);
    for (const bool json : {false, true}) {
        double bestWall = 1e300, bestCpu = 1e300;
        for (int i = 0; i < repeat; ++i) {
            std::vector<std::string> args{SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "check", file};
            if (json) args.push_back("--json");
            for (const std::string& word : Words(extra)) args.push_back(word);
            const double cpuStart = ChildrenCpuSeconds();
            const auto start = Clock::now();
            const testsupport::ProcessRun run = testsupport::RunProcess(args);
            const double wall = std::chrono::duration<double>(Clock::now() - start).count();
            if (run.ExitCode() != 0) {
                std::fprintf(stderr, "check failed:\n%s%s", run.out.c_str(), run.err.c_str());
                return 1;
            }
            bestWall = std::min(bestWall, wall);
            bestCpu = std::min(bestCpu, ChildrenCpuSeconds() - cpuStart);
        }
        std::printf("  %-6s wall %.2f s, CPU %.2f s: %.3f s per minute of audio\n", json ? "--json" : "words",
                    bestWall, bestCpu, bestWall / audioMinutes);
    }
    return 0;
}
