// SPDX-License-Identifier: MIT
// One MPEG audio frame header (ISO/IEC 11172-3, 13818-3 and MPEG-2.5) as sova-host reads it
// itself, and the size of an ID3v2 tag in front of the frames. Layer II bitrates come from the
// Layer II rules; layers I and III keep their rows here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sovahost {
inline constexpr size_t kFrameHeaderBytes = 4;

struct FrameHeader {
    int versionBits = 0;    // 3 MPEG-1, 2 MPEG-2 LSF, 0 MPEG-2.5
    int layer = 0;          // 1, 2 or 3
    bool crc = false;       // a 16-bit CRC follows the header
    int bitrate = 0;        // kbit/s; 0 is free format
    int sampleRate = 0;     // Hz
    bool padding = false;
    int mode = 0;           // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int emphasis = 0;       // 0 none, 1 50/15 us, 3 CCITT J.17
    bool copyright = false, original = false;
    size_t length = 0;      // bytes, header included; 0 for free format (no length to walk by)
    int samples = 0;        // per channel: 384 (layer I), 1152, or 576 (layer III below MPEG-1)

    int Channels() const { return mode == 3 ? 1 : 2; }
    std::string Version() const; // "1", "2" or "2.5"
    // The same kind of stream: version, layer, rate and channel count (bitrate, padding and the
    // stereo mode may change from frame to frame).
    bool SameStream(const FrameHeader& other) const;
    // "MPEG-1 layer II, 44100 Hz, 2 channels"
    std::string InWords() const;
};

// The header in the 4 bytes at `bytes`; nullopt when they are not one (no sync, a reserved
// version, layer, bitrate index or rate).
std::optional<FrameHeader> ParseFrameHeader(const uint8_t* bytes);

// The bytes an ID3v2 tag at `head` takes (header, body and footer), from its first 10 bytes;
// 0 when there is none or fewer than 10 bytes are available.
size_t Id3v2TagSize(const uint8_t* head, size_t available);
} // namespace sovahost
