// SPDX-License-Identifier: MIT
// One walk over every frame of a file that checks each frame as it passes: the Layer II CRC of
// each frame that carries one, and which header fields keep their first frame's value. The walk
// itself (junk, truncation, format changes, tags) is FrameWalk's.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/FrameWalk.h"

namespace sovahost {
// A frame whose stored CRC differs from the one its header and side information give.
struct CrcMismatch {
    int64_t frame = 0;     // audio frame number, counting from 1
    uint64_t offset = 0;   // byte where the frame begins
    double seconds = 0;    // time where the frame begins
    uint16_t stored = 0, computed = 0;
    bool complete = true;  // false: the frame is too short to hold its side information
};

// The first frame where a header field leaves the value it had in the first frame (for the mode:
// where dual channel begins or ends; stereo and joint stereo may alternate).
struct HeaderChange {
    std::string field;     // "bitrate", "mode", "CRC", "emphasis", "copyright", "original"
    int64_t frame = 0;     // counting from 1
    uint64_t offset = 0;
    double seconds = 0;
    std::string from, to;  // the values in words
};

struct FrameAudit {
    std::optional<FrameWalk> walk;     // nullopt when the file could not be read
    int64_t crcFrames = 0;             // frames that carry a CRC
    int64_t crcChecked = 0;            // of those, frames whose CRC could be computed (Layer II)
    std::vector<CrcMismatch> crcMismatches;
    std::vector<HeaderChange> changes; // at most one per field, in the order of the file
    int64_t paddedFrames = 0;
    std::set<int> modes;               // channel modes of the frames: 0 stereo, 1 joint, 2 dual, 3 mono
    std::set<int> modeExtensions;      // those joint stereo frames use
};

// Walks the file at path.
FrameAudit AuditFrames(const std::string& path);
// The same on bytes in memory.
FrameAudit AuditFrames(std::span<const uint8_t> bytes);
} // namespace sovahost
