// What the host reads itself from the first frames of an MPEG audio file: the header fields that
// the module does not report (version and layer as numbers, padding). Found after an ID3v2 tag,
// by walking frame to frame from the first header that the next one confirms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sovahost {
struct FrameHeaders {
    std::string version; // "1", "2" or "2.5"
    int layer = 0;       // 1, 2 or 3
    bool padding = false; // some of the frames walked are padded
    int framesWalked = 0;
};

// Empty when no two consecutive frames are found in the first 256 KiB after a tag.
std::optional<FrameHeaders> ReadFrameHeaders(const std::string& path);
// The same, on bytes that start after any tag.
std::optional<FrameHeaders> FrameHeadersIn(const std::vector<uint8_t>& bytes);
// The bytes an ID3v2 tag at the start takes (header, body and footer), from the file's first 10
// bytes; 0 when there is none.
size_t Id3v2TagSize(const std::vector<uint8_t>& head);
} // namespace sovahost
