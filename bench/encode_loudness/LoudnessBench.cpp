// SPDX-License-Identifier: MIT
// sova-host encode --loudness, run on demand:
//   encode_loudness_bench [--minutes 10] [--repeat 1]
// A stereo 48000 Hz file of --minutes encoded at 256 kbit/s, plain and with --loudness -23, with
// --jobs 1 and with the default jobs: wall and CPU time (sova-host and its children) and the ratio
// of each loudness run to the plain one. Target: at most 1.5 times the plain encode's wall time.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ProcessTiming.h"
#include "WriterTestSupport.h"

namespace {
using namespace writertest;
using testsupport::Timing;
constexpr int kRate = 48000;

Timing Encode(const std::string& wav, const std::string& out, int repeat, const std::vector<std::string>& extra) {
    std::vector<std::string> args{SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "-q", "encode", "--overwrite", "-b", "256"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {wav, out});
    return testsupport::BestRun(args, repeat);
}
} // namespace

int main(int argc, char** argv) {
    const double minutes = testsupport::NumberArgument(argc, argv, "--minutes", 10.0);
    const int repeat = std::max(1, static_cast<int>(testsupport::NumberArgument(argc, argv, "--repeat", 1)));
    TempDir dir;
    const auto frames = static_cast<int64_t>(minutes * 60 * kRate);
    std::printf("generating %.1f minutes of stereo audio at %d Hz...\n", minutes, kRate);
    const std::string wav = dir.File("long.wav");
    WriteWav16(wav, TestSignal(frames, 2, kRate), 2, kRate);

    std::printf("encode %.1f min stereo 48000 Hz at 256 kbit/s (best of %d):\n", minutes, repeat);
    for (const char* jobs : {"1", "0"}) {
        std::vector<std::string> jobArgs;
        if (std::strcmp(jobs, "0") != 0) jobArgs = {"--jobs", jobs};
        const Timing plain = Encode(wav, dir.File("plain.mp2"), repeat, jobArgs);
        std::vector<std::string> loud = jobArgs;
        loud.insert(loud.end(), {"--loudness", "-23"});
        const Timing level = Encode(wav, dir.File("loud.mp2"), repeat, loud);
        const char* shown = std::strcmp(jobs, "0") != 0 ? "--jobs 1      " : "default jobs  ";
        std::printf("  %s plain     wall %7.3f s  cpu %7.3f s\n", shown, plain.wall, plain.cpu);
        std::printf("  %s --loudness wall %7.3f s  cpu %7.3f s  wall / plain %.3f  cpu / plain %.3f\n", shown, level.wall,
                    level.cpu, level.wall / plain.wall, level.cpu / plain.cpu);
    }
    std::printf("  target: --loudness at most 1.5 times the plain encode's wall time\n");
    return 0;
}
