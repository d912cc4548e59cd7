// SPDX-License-Identifier: MIT
// What the fuzz targets that drive the module through SovaInterface share: the check that keeps
// a failing input, and a scratch file for the module to read or write.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sova/Sdk.h>

namespace fuzzsupport {
// Aborts with a line naming the broken expectation, so that libFuzzer keeps the input.
inline void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz target: %s\n", what);
    std::abort();
}

// The path of an empty file below /tmp named "sova-<name>-XXXXXX.mp2", made once per process and
// removed when the process exits normally (not after a crash: the file is then the evidence).
inline const std::string& ScratchFile(const std::string& name) {
    // Never destroyed, so that it is still there when the exit handler removes the file.
    static const std::string& path = *new std::string([&name] {
        std::string pattern = "/tmp/sova-" + name + "-XXXXXX.mp2";
        const int descriptor = mkstemps(pattern.data(), 4);
        Check(descriptor >= 0, "cannot make a temporary file");
        close(descriptor);
        return pattern;
    }());
    static const int removal = std::atexit([] { unlink(path.c_str()); });
    (void)removal;
    return path;
}

// Selector 1, which binds the codec libraries; call once from LLVMFuzzerInitialize.
inline void StartModule() {
    Check(SovaInterface(sova::sdk::kSelectorStartup, nullptr, nullptr) == 0, "the codec libraries did not bind");
}
} // namespace fuzzsupport
