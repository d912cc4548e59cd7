// SPDX-License-Identifier: MIT
#include "host/DeclaredLength.h"

#include <cstring>
#include <fstream>

namespace sovahost {
namespace {
uint32_t Little32(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
} // namespace

std::optional<CutShort> FindCutShortWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const int64_t fileSize = in.tellg();
    in.seekg(0);
    unsigned char riff[12];
    if (!in.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return std::nullopt; // RF64 and other containers keep their sizes elsewhere
    uint32_t blockAlign = 0;
    for (int64_t at = 12; at + 8 <= fileSize;) {
        unsigned char chunk[8];
        in.seekg(at);
        if (!in.read(reinterpret_cast<char*>(chunk), 8)) return std::nullopt;
        const uint32_t size = Little32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char body[16];
            if (size < 16 || !in.read(reinterpret_cast<char*>(body), 16)) return std::nullopt;
            blockAlign = body[12] | (body[13] << 8);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            const int64_t present = fileSize - (at + 8);
            if (blockAlign == 0 || size == 0xFFFFFFFFu || size <= present) return std::nullopt;
            return CutShort{size / blockAlign, present / blockAlign};
        }
        at += 8 + size + (size & 1); // chunks are padded to an even size
    }
    return std::nullopt;
}
} // namespace sovahost
