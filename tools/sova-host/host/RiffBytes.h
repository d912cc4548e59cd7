// SPDX-License-Identifier: MIT
// Little-endian RIFF fields, written into a byte vector and read from bytes in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sovahost {
struct RiffBytes {
    std::vector<uint8_t> bytes;

    void Tag(const char (&four)[5]) { bytes.insert(bytes.end(), four, four + 4); }
    void U16(uint16_t value) {
        bytes.push_back(static_cast<uint8_t>(value));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void U32(uint32_t value) {
        U16(static_cast<uint16_t>(value));
        U16(static_cast<uint16_t>(value >> 16));
    }
};

inline uint16_t ReadU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
inline uint32_t ReadU32(const uint8_t* at) { return ReadU16(at) | static_cast<uint32_t>(ReadU16(at + 2)) << 16; }
} // namespace sovahost
