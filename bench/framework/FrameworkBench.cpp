// SPDX-License-Identifier: MIT
// Writes encoder-sized blocks to a temporary file straight through the platform stream and
// through the buffered stream the writer uses, and times a disabled trace site's check.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include <tsacore/debug/Trace.h>
#include <tsacore/filesupport/ByteStream.h>
#include <tsacore/utility/StringConversion.h>

using namespace tsacore::filesupport;
using Clock = std::chrono::steady_clock;

namespace {
double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One MP2 frame at 384 kbit/s and 44100 Hz is 1253 or 1254 bytes.
constexpr uint32_t kBlock = 1254;

double WriteFile(const File& file, size_t bytes, bool buffered)
{
    std::vector<uint8_t> block(kBlock, 0x5A);
    const Clock::time_point start = Clock::now();
    {
        OPlatformByteStream platform(file, 0);
        OBufferedByteStream buffer(&platform, 1048576, 4096);
        OByteStream& target = buffered ? static_cast<OByteStream&>(buffer) : platform;
        for (size_t written = 0; written < bytes; written += kBlock)
            target.Write(block.data(), kBlock);
    }
    return Seconds(start);
}
} // namespace

int main(int argc, char** argv)
{
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const size_t bytes = megabytes << 20;
    char pattern[] = "/tmp/sova-framework-bench-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0)
        return 1;
    ::close(fd);
    const File file(tsacore::utility::UTF8to16(pattern));

    // The best of several rounds, each on a new file: the page cache's write-back of an
    // earlier round otherwise lands on a later one.
    for (const bool buffered : {false, true}) {
        double best = 1e30;
        for (int round = 0; round < 5; ++round) {
            ::unlink(pattern);
            best = std::min(best, WriteFile(file, bytes, buffered));
        }
        std::printf("%-10s %zu MiB in %u-byte blocks: best %.3f s, %.0f MiB/s\n", buffered ? "buffered" : "unbuffered",
                    megabytes, kBlock, best, double(megabytes) / best);
    }
    ::unlink(pattern);

    // A trace site with its channel off: one counter read per line.
    constexpr int kChecks = 100000000;
    int32_t lastCount = -1;
    bool enabled = false;
    int lines = 0;
    // Processor time of this thread: other work on a busy machine does not count.
    timespec before{}, after{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    for (int i = 0; i < kChecks; ++i) {
        const int32_t count = tsacore::debug::TraceChangeCount();
        if (count != lastCount) {
            lastCount = count;
            enabled = tsacore::debug::TraceEnabled("VeLog.Plug-in.SovaMp2", 5, true);
        }
        lines += enabled;
    }
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    const double seconds = double(after.tv_sec - before.tv_sec) + double(after.tv_nsec - before.tv_nsec) * 1e-9;
    std::printf("disabled trace site: %.2f ns per check (%d lines)\n", seconds * 1e9 / kChecks, lines);
    return 0;
}
