// SPDX-License-Identifier: MIT
// What a WAV file's header promises against what the file holds: a file cut short (a copy that
// stopped, a recorder that crashed) still opens, with fewer samples than its header says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sovahost {
struct CutShort {
    int64_t promisedFrames; // samples per channel the data chunk's size announces
    int64_t presentFrames;  // samples per channel that are in the file
};

// Set when path is a RIFF/WAVE file whose data chunk announces more bytes than follow it.
std::optional<CutShort> FindCutShortWav(const std::string& path);
} // namespace sovahost
