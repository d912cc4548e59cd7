// SPDX-License-Identifier: MIT
// What the sova-host process tests share: sova-host run with the built module and no display,
// audio made by ffmpeg, and what is left on disk afterwards.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <mpg123.h>

#include "Process.h"
#include "WriterTestSupport.h"

namespace hosttest {
namespace fs = std::filesystem;
using writertest::TempDir;

// Every file below the folder, and every hidden folder (a private folder that a run left),
// relative to it.
inline std::set<std::string> Listing(const std::string& root) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory() || entry.path().filename().string().starts_with("."))
            names.insert(entry.path().lexically_relative(root).string());
    return names;
}
inline std::set<std::string> Listing(const TempDir& dir) { return Listing(dir.File("")); }

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using HostRun = testsupport::ProcessRun;

// sova-host with the built module, and no display for a dialog to appear on.
inline std::vector<std::string> HostCommand(std::vector<std::string> args) {
    args.insert(args.begin(), {SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH});
    return args;
}
// inChild runs in the child as well, just before exec.
inline testsupport::ProcessSetup NoDisplay(const std::string& stdinPath, std::function<void()> inChild = {}) {
    return {stdinPath, false, [inChild] {
                for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(display);
                if (inChild) inChild();
            }};
}

// Starts sova-host (stdin from stdinPath); the caller waits for it.
inline pid_t Start(std::vector<std::string> args, const std::string& outPath, const std::string& errPath,
                   const std::string& stdinPath = "/dev/null") {
    return testsupport::StartProcess(HostCommand(std::move(args)), outPath, errPath, NoDisplay(stdinPath));
}

// Runs sova-host to the end.
inline HostRun Host(const std::vector<std::string>& args, const std::string& stdinPath = "/dev/null") {
    return testsupport::RunProcess(HostCommand(args), NoDisplay(stdinPath));
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A test signal made by ffmpeg: `seconds` of tones at `rate`, `channels` channels, in the
// container the name's extension gives (codecArgs, e.g. "-c:a pcm_s16le", chooses another).
// Runs a shell command (ffmpeg, twolame, mpg123 making test files); throws with its stderr when it fails.
inline void Shell(const std::string& command) {
    const testsupport::ProcessRun run = testsupport::RunShell(command);
    if (!run.Succeeded()) throw std::runtime_error("failed: " + command + "\n" + run.err);
}

inline void MakeAudio(const std::string& path, int rate, int channels, double seconds = 1.5,
                      const std::string& codecArgs = "") {
    Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'sine=f=440:r=" + std::to_string(rate) + ":d=" +
          std::to_string(seconds) + "' -ac " + std::to_string(channels) + " " + codecArgs + " '" + path + "'");
}
// What libmpg123 sees in an MPEG audio file.
struct Stream {
    bool ok = false;
    int version = 0; // 1 = MPEG-1, 2 = MPEG-2 LSF
    int layer = 0, bitrate = 0, mode = 0;
    long rate = 0;
    int channels = 0;
};
inline Stream Probe(const std::string& path) {
    Stream stream;
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_frameinfo info{};
    int encoding = 0;
    if (handle && mpg123_open(handle, path.c_str()) == MPG123_OK &&
        mpg123_getformat(handle, &stream.rate, &stream.channels, &encoding) == MPG123_OK &&
        mpg123_info(handle, &info) == MPG123_OK) {
        stream.ok = true;
        stream.version = info.version == MPG123_1_0 ? 1 : 2;
        stream.layer = info.layer;
        stream.bitrate = info.bitrate;
        stream.mode = info.mode;
        stream.rate = info.rate;
    }
    if (handle) mpg123_close(handle), mpg123_delete(handle);
    return stream;
}

} // namespace hosttest
