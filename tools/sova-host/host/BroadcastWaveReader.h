// SPDX-License-Identifier: MIT
// The chunks of a RIFF/WAVE file that describe MPEG audio in it (fmt with format tag 0x0050,
// fact, mext, bext), as `info` shows them. Layouts as in BroadcastWave.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "host/BroadcastWave.h"

namespace sovahost {
struct MpegWaveFormat { // MPEG1WAVEFORMAT
    uint16_t channels = 0;
    uint32_t rate = 0, averageBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t headLayer = 0;
    uint32_t headBitrate = 0; // bit/s
    uint16_t headMode = 0, headModeExt = 0, headEmphasis = 0, headFlags = 0;
};

struct MpegExtension { // mext
    uint16_t soundInformation = 0, frameSize = 0, ancillaryDataLength = 0, ancillaryDataDef = 0;
    bool Homogeneous() const { return soundInformation & 1; }
    bool PaddingAlwaysOff() const { return soundInformation & 2; }
    bool FreeFormat() const { return soundInformation & 8; }
};

struct BroadcastExtension { // bext
    BroadcastText text;
    uint16_t version = 0;
    StoredLoudness loudness; // version 2 and up; 0x7FFF read as missing
};

struct BroadcastWaveFacts {
    uint16_t formatTag = 0;
    std::optional<MpegWaveFormat> mpeg; // when formatTag is 0x0050 and the fmt chunk holds 40 bytes or more
    std::optional<uint32_t> factSamples;
    std::optional<MpegExtension> mext;
    std::optional<BroadcastExtension> bext;
    uint64_t dataOffset = 0, dataBytes = 0;
    bool dataFound = false;
};

// nullopt when path is not a RIFF/WAVE file (or cannot be read).
std::optional<BroadcastWaveFacts> ReadBroadcastWave(const std::string& path);
// The same on bytes in memory.
std::optional<BroadcastWaveFacts> ReadBroadcastWave(std::span<const uint8_t> bytes);
} // namespace sovahost
