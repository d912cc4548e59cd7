// SPDX-License-Identifier: MIT
// Benchmarks' timing of a program run to its end: the best wall and CPU time (the process and
// the children it waited for) of a few runs.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Process.h"

namespace testsupport {
struct Timing {
    double wall = 1e300, cpu = 1e300; // best of the runs
};

// CPU seconds of the waited-for children so far.
inline double ChildrenCpuSeconds() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(children.ru_utime) + seconds(children.ru_stime);
}

// Runs args `repeat` times; a failed run ends the benchmark with its output.
inline Timing BestRun(const std::vector<std::string>& args, int repeat) {
    Timing best;
    for (int i = 0; i < repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ChildrenCpuSeconds();
        const ProcessRun result = RunProcess(args);
        if (!result.Succeeded()) {
            std::fprintf(stderr, "%s failed:\n%s%s", args.front().c_str(), result.out.c_str(), result.err.c_str());
            std::exit(1);
        }
        best.cpu = std::min(best.cpu, ChildrenCpuSeconds() - cpuStart);
        best.wall = std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}
// The number after `name` on a benchmark's command line ("--minutes 10"), or fallback.
inline double NumberArgument(int argc, char** argv, const char* name, double fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], name)) return std::atof(argv[i + 1]);
    return fallback;
}

// The load average over the last minute, as "load 0.42" (wall times mean little above a load of
// about 1 on two cores; CPU times hold up better).
inline std::string LoadAverage() {
    double load[1] = {-1};
    getloadavg(load, 1);
    char text[32];
    std::snprintf(text, sizeof text, "load %.2f", load[0]);
    return text;
}
} // namespace testsupport
