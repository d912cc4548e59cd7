// SPDX-License-Identifier: MIT
// Encoding speed of the writer, run on demand:
//   writer_bench [--minutes 10] [--repeat 3] [--batch-seconds 120]
// 1. A stereo 44100 Hz recording at 192 kbit/s through SovaInterface (selectors 14, 17, 18
//    in blocks of 16384 frames, 19), against a direct libtwolame loop with the same
//    parameters and blocks, and against the twolame program on the WAV file.
// 2. A batch of 8 files through `sova-host convert` with --jobs 1 and --jobs 2.
// The best of --repeat runs counts for 1; the batch runs once each way.
#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <twolame.h>

#include "ProcessTiming.h"
#include "WriterTestSupport.h"

namespace {
using Clock = std::chrono::steady_clock;
using namespace writertest;
constexpr int kRate = 44100;
constexpr int64_t kBlock = 16384;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The module's parameter sequence with default settings, straight on libtwolame.
void DirectLoop(const std::vector<int16_t>& audio, const std::string& outPath) {
    twolame_options* options = twolame_init();
    twolame_set_num_channels(options, 2);
    twolame_set_mode(options, TWOLAME_AUTO_MODE);
    twolame_set_in_samplerate(options, kRate);
    twolame_set_out_samplerate(options, kRate);
    twolame_set_bitrate(options, 192);
    twolame_set_psymodel(options, 1);
    twolame_set_padding(options, TWOLAME_PAD_NO);
    twolame_set_energy_levels(options, 0);
    twolame_set_emphasis(options, TWOLAME_EMPHASIS_N);
    twolame_set_error_protection(options, 0);
    twolame_set_copyright(options, 0);
    twolame_set_original(options, 0);
    if (twolame_init_params(options) != 0) std::abort();
    FILE* out = std::fopen(outPath.c_str(), "wb");
    std::vector<uint8_t> buffer(kBlock * 4);
    const int64_t frames = static_cast<int64_t>(audio.size() / 2);
    for (int64_t done = 0; done < frames; done += kBlock) {
        const int n = static_cast<int>(std::min(kBlock, frames - done));
        const int bytes = twolame_encode_buffer_interleaved(options, audio.data() + done * 2, n, buffer.data(),
                                                            static_cast<int>(buffer.size()));
        if (bytes > 0) std::fwrite(buffer.data(), 1, static_cast<size_t>(bytes), out);
    }
    const int bytes = twolame_encode_flush(options, buffer.data(), static_cast<int>(buffer.size()));
    if (bytes > 0) std::fwrite(buffer.data(), 1, static_cast<size_t>(bytes), out);
    std::fclose(out);
    twolame_close(&options);
}

// CPU seconds of this process (threads included) and of its waited-for children.
double CpuSeconds() {
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) + seconds(children.ru_stime);
}

struct Timing {
    double wall = 1e300, cpu = 1e300; // best of the runs
    void Measure(const std::function<void()>& run) {
        const auto start = Clock::now();
        const double cpuStart = CpuSeconds();
        run();
        cpu = std::min(cpu, CpuSeconds() - cpuStart);
        wall = std::min(wall, SecondsSince(start));
    }
};
} // namespace

int main(int argc, char** argv) {
    const double minutes = testsupport::NumberArgument(argc, argv, "--minutes", 10.0);
    const int repeat = std::max(1, static_cast<int>(testsupport::NumberArgument(argc, argv, "--repeat", 3)));
    const double batchSeconds = testsupport::NumberArgument(argc, argv, "--batch-seconds", 120.0);
    TempDir dir;
    const auto frames = static_cast<int64_t>(minutes * 60 * kRate);
    std::printf("generating %.1f minutes of stereo audio at %d Hz...\n", minutes, kRate);
    const std::vector<int16_t> audio = TestSignal(frames, 2, kRate);
    const std::string wav = dir.File("long.wav");
    WriteWav16(wav, audio, 2, kRate);
    const auto planes = Planar(audio, 2);

    ModuleHost host;
    if (host.StartResult() != 0) {
        std::fprintf(stderr, "the module did not start\n");
        return 1;
    }
    // The three take turns, so that a change in the machine's load hits all of them alike.
    Timing module, direct, program;
    for (int i = 0; i < repeat; ++i) {
        module.Measure([&] {
            const auto save = host.SaveAudio(dir.File("module.mp2"), kRate, "", 20, planes, kBlock);
            if (save.closeResult != 0 || !save.writeResults.empty()) std::abort();
        });
        direct.Measure([&] { DirectLoop(audio, dir.File("direct.mp2")); });
        program.Measure([&] {
            if (!RunProcess({"twolame", "--quiet", "-P", "1", "-o", "-b", "192", wav, dir.File("program.mp2")})
                     .Succeeded())
                std::abort();
        });
    }
    const bool same = ReadBytes(dir.File("module.mp2")) == ReadBytes(dir.File("direct.mp2")) &&
                      ReadBytes(dir.File("module.mp2")) == ReadBytes(dir.File("program.mp2"));
    const double audioSeconds = minutes * 60;
    std::printf("encode %.1f min stereo 192 kbit/s (best of %d, outputs %s):\n", minutes, repeat,
                same ? "byte-identical" : "DIFFER");
    const auto line = [audioSeconds](const char* name, const Timing& t) {
        std::printf("  %-30s wall %7.3f s  cpu %7.3f s  (%5.1fx real time)\n", name, t.wall, t.cpu, audioSeconds / t.cpu);
    };
    line("module through SovaInterface", module);
    line("direct libtwolame loop", direct);
    line("twolame program (from WAV)", program);
    std::printf("  module / direct loop = %.3f by CPU time, %.3f by wall time (target <= 1.03)\n",
                module.cpu / direct.cpu, module.wall / direct.wall);
    std::vector<std::string> files;
    const int64_t batchFrames = std::min(static_cast<int64_t>(batchSeconds * kRate), frames - 8 * kRate);
    for (int i = 0; i < 8; ++i) { // overlapping slices, one second apart
        files.push_back(dir.File("batch" + std::to_string(i) + ".wav"));
        const auto first = audio.begin() + static_cast<int64_t>(i) * kRate * 2;
        WriteWav16(files.back(), std::vector<int16_t>(first, first + batchFrames * 2), 2, kRate);
    }
    Timing batch[2];
    for (int jobs = 1; jobs <= 2; ++jobs) {
        std::vector<std::string> args{SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "convert", "--jobs",
                                      std::to_string(jobs), "-O", dir.File("out" + std::to_string(jobs))};
        args.insert(args.end(), files.begin(), files.end());
        batch[jobs - 1].Measure([&] {
            const auto result = RunProcess(args);
            if (!result.Succeeded()) {
                std::fprintf(stderr, "convert failed:\n%s", result.out.c_str());
                std::exit(1);
            }
        });
    }
    std::printf("batch of 8 files of %.0f s through sova-host convert:\n", static_cast<double>(batchFrames) / kRate);
    std::printf("  --jobs 1  wall %7.3f s  cpu %7.3f s\n  --jobs 2  wall %7.3f s  cpu %7.3f s\n", batch[0].wall,
                batch[0].cpu, batch[1].wall, batch[1].cpu);
    std::printf("  speed-up by wall time = %.2fx (target >= 1.8 on two otherwise idle cores)\n",
                batch[0].wall / batch[1].wall);
    return 0;
}
