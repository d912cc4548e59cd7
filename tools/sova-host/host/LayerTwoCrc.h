// SPDX-License-Identifier: MIT
// The CRC-16 of an MPEG audio Layer II frame (ISO/IEC 11172-3 and 13818-3): polynomial 0x8005,
// starting at 0xFFFF, over the header's last 16 bits, the bit allocation and the scale factor
// selection information. Which bits those are follows from the header: the allocation table that
// the rate, the bitrate per channel and the version choose, its number of subbands, and the bound
// of joint stereo.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "host/FrameHeaders.h"

namespace sovahost::layer2 {
// The allocation table of a frame: its subbands, and how many allocation bits each subband has.
struct AllocationTable {
    int subbands = 0;        // sblimit
    const uint8_t* bits = nullptr; // allocation bits of subband 0 .. subbands-1
};

// The table for a Layer II header; nullopt for free format (no bitrate to choose by) and for
// headers of other layers.
std::optional<AllocationTable> AllocationTableFor(const FrameHeader& header);

// What the CRC of one frame is.
struct FrameCrc {
    uint16_t stored = 0;   // the two bytes after the header
    uint16_t computed = 0; // over the header and side information
    bool complete = true;  // false: the frame ends before its side information does (cannot match)
    bool Matches() const { return complete && stored == computed; }
};

// The CRC of a Layer II frame whose header says it has one (header.crc); `frame` is the whole
// frame, header included. nullopt when the header has no CRC or no allocation table.
std::optional<FrameCrc> CheckFrameCrc(const FrameHeader& header, std::span<const uint8_t> frame);
} // namespace sovahost::layer2
