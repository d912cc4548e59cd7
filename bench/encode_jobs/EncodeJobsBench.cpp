// SPDX-License-Identifier: MIT
// sova-host encode --jobs, run on demand:
//   encode_jobs_bench [--minutes 10] [--repeat 1]
// 1. A stereo 44100 Hz file of --minutes encoded at 192 kbit/s with --jobs 1, 2 and the number
//    of cores: wall and CPU time (sova-host and its children), outputs compared byte for byte.
// 2. Short files of 3 to 48 s with --jobs 1 and --jobs 2 (segments forced down to their
//    shortest), to show where cutting a file starts to pay.
// Every line ends with the load average over the last minute (the machine may be shared: wall
// times mean little above a load of about 1 on two cores; CPU times hold up better).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ProcessTiming.h"
#include "WriterTestSupport.h"

namespace {
using namespace writertest;
using testsupport::Timing;
constexpr int kRate = 44100;


Timing Encode(const std::string& wav, const std::string& out, int jobs, int repeat,
              const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "-q", "encode", "--overwrite",
                                  "--jobs", std::to_string(jobs), wav, out};
    args.insert(args.end(), extra.begin(), extra.end());
    return testsupport::BestRun(args, repeat);
}
} // namespace

int main(int argc, char** argv) {
    const double minutes = testsupport::NumberArgument(argc, argv, "--minutes", 10.0);
    const int repeat = std::max(1, static_cast<int>(testsupport::NumberArgument(argc, argv, "--repeat", 1)));
    const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    TempDir dir;
    const auto frames = static_cast<int64_t>(minutes * 60 * kRate);
    std::printf("generating %.1f minutes of stereo audio at %d Hz...\n", minutes, kRate);
    const std::vector<int16_t> audio = TestSignal(frames, 2, kRate);
    const std::string wav = dir.File("long.wav");
    WriteWav16(wav, audio, 2, kRate);

    std::vector<int> jobCounts{1, 2};
    if (cores > 2) jobCounts.push_back(cores);
    std::printf("encode %.1f min stereo 44100 Hz at 192 kbit/s (best of %d; %d cores):\n", minutes, repeat, cores);
    double serialWall = 0;
    for (const int jobs : jobCounts) {
        const std::string out = dir.File("jobs" + std::to_string(jobs) + ".mp2");
        const Timing t = Encode(wav, out, jobs, repeat);
        if (jobs == 1) serialWall = t.wall;
        const bool same = ReadBytes(out) == ReadBytes(dir.File("jobs1.mp2"));
        std::printf("  --jobs %d  wall %7.3f s  cpu %7.3f s  wall / serial %.3f  %s  %s\n", jobs, t.wall, t.cpu,
                    t.wall / serialWall, same ? "byte-identical" : "DIFFERS", testsupport::LoadAverage().c_str());
    }
    std::printf("  target on two cores: --jobs 2 at most 0.6 of the serial wall time\n");

    std::printf("short files, --jobs 1 against --jobs 2 with the shortest segments:\n");
    for (const double seconds : {3.0, 6.0, 12.0, 24.0, 48.0}) {
        const std::string shortWav = dir.File("short.wav");
        const auto count = std::min(frames, static_cast<int64_t>(seconds * kRate));
        WriteWav16(shortWav, std::vector<int16_t>(audio.begin(), audio.begin() + count * 2), 2, kRate);
        const Timing one = Encode(shortWav, dir.File("short1.mp2"), 1, std::max(3, repeat));
        const Timing two = Encode(shortWav, dir.File("short2.mp2"), 2, std::max(3, repeat), {"--segment-frames", "1"});
        std::printf("  %4.0f s  --jobs 1 wall %6.3f s cpu %6.3f s   --jobs 2 wall %6.3f s cpu %6.3f s   ratio %.2f  %s\n",
                    seconds, one.wall, one.cpu, two.wall, two.cpu, two.wall / one.wall, testsupport::LoadAverage().c_str());
    }
    return 0;
}
