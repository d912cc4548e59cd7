// SPDX-License-Identifier: MIT
// Decoding speed and peak memory of the reader, against a direct libmpg123 loop and the mpg123
// program. Not a test: run it on demand.
//
//   reader_bench [--folder DIR] [--minutes 10,60] [--repeat 3] [--block 4096]
//
// Makes stereo 192 kbit/s MPEG-1 Layer II files of the given lengths with ffmpeg and twolame
// (kept in DIR and reused), then decodes each one in fresh child processes:
//   module  the built .sova through SovaInterface, as sova-host reads (selectors 0, 1, 5, 6, 7..., 12, 2)
//   direct  libmpg123 linked directly, float output, the same one-block reads, each block
//           deinterleaved straight into per-channel buffers
//   mpg123  the mpg123 program: mpg123 -q -e f32 -s FILE > /dev/null
// and reports the best wall time of the repeats, the ratios, and each child's peak resident
// memory (getrusage's maxrss, through wait4).
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "Process.h"
#include "module/ReadSession.h"

namespace fs = std::filesystem;

namespace {
struct Child {
    double seconds = 0;
    long maxRssKiB = 0;
    int64_t frames = 0; // what the child printed
};

int64_t DecodeThroughModule(const std::string& file, int32_t block) {
    sovahost::HostOptions options;
    options.modulePath = SOVA_MODULE_PATH;
    sovahost::StartedModule module(options);
    if (module.StartResult() != 0) throw std::runtime_error("the module did not start");
    sovahost::ReadSession session(module, file);
    if (session.Open() != 0) throw std::runtime_error("the module refused " + file);
    int64_t frames = 0;
    while (session.Read(block) == 0) frames += session.FramesDone();
    return frames;
}

int64_t DecodeDirectly(const std::string& file, int32_t block) {
    mpg123_init();
    int error = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT, 0.0);
    if (mpg123_open(handle, file.c_str()) != MPG123_OK) throw std::runtime_error("mpg123_open failed");
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    mpg123_getformat(handle, &rate, &channels, &encoding);
    mpg123_format_none(handle);
    mpg123_format(handle, rate, channels, encoding);
    const size_t blockBytes = mpg123_outblock(handle);
    std::vector<float> decoded(blockBytes / sizeof(float));
    // The host's channel buffers; each decoded block is deinterleaved straight into them.
    std::vector<std::vector<float>> host(static_cast<size_t>(channels),
                                         std::vector<float>(std::max<size_t>(block, decoded.size())));
    int64_t frames = 0;
    for (;;) {
        size_t done = 0;
        const int code = mpg123_read(handle, decoded.data(), blockBytes, &done);
        const size_t got = done / sizeof(float) / static_cast<size_t>(channels);
        if (channels == 2) {
            float* left = host[0].data();
            float* right = host[1].data();
            for (size_t i = 0; i < got; ++i) {
                left[i] = decoded[2 * i];
                right[i] = decoded[2 * i + 1];
            }
        } else {
            std::memcpy(host[0].data(), decoded.data(), got * sizeof(float));
        }
        frames += static_cast<int64_t>(got);
        if (code != MPG123_OK) break;
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    mpg123_exit();
    return frames;
}

// Runs argv in a child with stdout to `out`, returns its wall time and peak memory.
Child RunChild(const std::vector<std::string>& arguments, const std::string& out) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        const int target = out.empty() ? pipeEnds[1] : open(out.c_str(), O_WRONLY);
        dup2(target, STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string printed;
    char chunk[256];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0) printed.append(chunk, static_cast<size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Child child;
    child.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("child failed: " + arguments[0] + " " + arguments[1]);
    child.maxRssKiB = usage.ru_maxrss;
    child.frames = printed.empty() ? -1 : std::atoll(printed.c_str());
    return child;
}

fs::path MakeFile(const fs::path& folder, int minutes) {
    const fs::path file = folder / ("stereo192-" + std::to_string(minutes) + "min.mp2");
    if (fs::exists(file)) return file;
    std::fprintf(stderr, "making %s...\n", file.c_str());
    const std::string command =
        "ffmpeg -nostdin -v error -f lavfi -i \"aevalsrc=exprs='0.3*sin(2*PI*(220+110*sin(t/7))*t)+0.05*(random(0)-0.5)|"
        "0.3*sin(2*PI*(330+55*sin(t/5))*t)+0.05*(random(1)-0.5)':s=44100:d=" +
        std::to_string(minutes * 60) + "\" -f s16le -c:a pcm_s16le - | twolame --quiet -r -s 44100 -N 2 -m s -b 192 - '" +
        file.string() + ".part' && mv '" + file.string() + ".part' '" + file.string() + "'";
    const testsupport::ProcessRun made = testsupport::RunShell(command);
    if (!made.Succeeded()) throw std::runtime_error("cannot make " + file.string() + "\n" + made.err);
    return file;
}

Child Best(const std::vector<std::string>& arguments, const std::string& out, int repeat) {
    Child best;
    for (int i = 0; i < repeat; ++i) {
        const Child run = RunChild(arguments, out);
        if (i == 0 || run.seconds < best.seconds) best = run;
        best.maxRssKiB = std::max(best.maxRssKiB, run.maxRssKiB);
    }
    return best;
}
} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && (std::strcmp(argv[1], "--child-module") == 0 || std::strcmp(argv[1], "--child-direct") == 0)) {
            const int32_t block = std::atoi(argv[3]);
            const int64_t frames = std::strcmp(argv[1], "--child-module") == 0 ? DecodeThroughModule(argv[2], block)
                                                                                : DecodeDirectly(argv[2], block);
            std::printf("%lld\n", static_cast<long long>(frames));
            return 0;
        }
        fs::path folder = fs::temp_directory_path() / "sova-reader-bench";
        std::vector<int> minutes = {10, 60};
        int repeat = 3;
        std::string block = "4096";
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string option = argv[i];
            if (option == "--folder") folder = argv[i + 1];
            else if (option == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
            else if (option == "--block") block = argv[i + 1];
            else if (option == "--minutes") {
                minutes.clear();
                for (const char* p = argv[i + 1]; *p; ++p) {
                    minutes.push_back(std::atoi(p));
                    while (*p && *p != ',') ++p;
                    if (!*p) break;
                }
            } else throw std::runtime_error("unknown option " + option);
        }
        fs::create_directories(folder);
        const std::string self = fs::canonical("/proc/self/exe").string();

        std::printf("%-7s %-7s %10s %10s %12s %8s\n", "length", "decoder", "frames", "wall s", "peak KiB", "ratio");
        std::vector<long> moduleRss;
        for (const int length : minutes) {
            const fs::path file = MakeFile(folder, length);
            const Child direct = Best({self, "--child-direct", file.string(), block}, "", repeat);
            const Child module = Best({self, "--child-module", file.string(), block}, "", repeat);
            const Child program = Best({"mpg123", "-q", "-e", "f32", "-s", file.string()}, "/dev/null", repeat);
            const std::string label = std::to_string(length) + " min";
            std::printf("%-7s %-7s %10lld %10.3f %12ld %8s\n", label.c_str(), "direct",
                        static_cast<long long>(direct.frames), direct.seconds, direct.maxRssKiB, "1.00");
            std::printf("%-7s %-7s %10lld %10.3f %12ld %8.3f\n", label.c_str(), "module",
                        static_cast<long long>(module.frames), module.seconds, module.maxRssKiB,
                        module.seconds / direct.seconds);
            std::printf("%-7s %-7s %10s %10.3f %12ld %8.3f\n", label.c_str(), "mpg123", "-", program.seconds,
                        program.maxRssKiB, program.seconds / direct.seconds);
            if (module.frames != direct.frames) std::printf("  frame counts differ!\n");
            moduleRss.push_back(module.maxRssKiB);
        }
        if (moduleRss.size() >= 2)
            std::printf("module peak memory, longest minus shortest file: %ld KiB\n", moduleRss.back() - moduleRss.front());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "reader_bench: %s\n", error.what());
        return 1;
    }
}
