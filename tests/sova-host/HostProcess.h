// sova-host and ffmpeg run as a user runs them, for the process tests: the built sova-host with
// the built module and no display, test audio made by ffmpeg, and what a folder holds.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Process.h"

namespace hostprocess {
// sova-host with the built module, stdin from stdinPath, stdout and stderr apart.
inline testsupport::ProcessRun Host(std::vector<std::string> args, const std::string& stdinPath = "/dev/null") {
    args.insert(args.begin(), {SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH});
    return testsupport::RunProcess(std::move(args), {stdinPath, false, [] {
                                                         for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                                                             unsetenv(display);
                                                     }});
}

// `seconds` of a 440 Hz tone at `rate` with `channels` channels, made by ffmpeg in the format
// the name's extension gives (codecArgs, e.g. "-c:a pcm_s16le", chooses another).
inline void MakeAudio(const std::string& path, int rate, int channels, double seconds = 0.5,
                      const std::string& codecArgs = "") {
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i 'sine=f=440:r=" + std::to_string(rate) +
                                ":d=" + std::to_string(seconds) + "' -ac " + std::to_string(channels) + " " +
                                codecArgs + " '" + path + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
}

// Every file below the folder, relative to it.
inline std::set<std::string> Listing(const std::string& folder) {
    namespace fs = std::filesystem;
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory()) names.insert(entry.path().lexically_relative(folder).string());
    return names;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
} // namespace hostprocess
