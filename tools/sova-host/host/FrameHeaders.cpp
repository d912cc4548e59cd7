// SPDX-License-Identifier: MIT
#include "host/FrameHeaders.h"

#include <fmt/format.h>

#include "host/LayerTwoRules.h"

namespace sovahost {
namespace {
// kbit/s by bitrate index for layers I and III; Layer II's come from the Layer II rules.
// [MPEG-1 ? 0 : 1][0 layer I, 1 layer III].
constexpr int kOtherLayerBitrates[2][2][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

int BitrateOf(bool mpeg1, int layer, int index) {
    if (layer == 2) return layer2::BitrateOfIndex(mpeg1, index);
    return kOtherLayerBitrates[mpeg1 ? 0 : 1][layer == 1 ? 0 : 1][index];
}
constexpr int kRates[3] = {44100, 48000, 32000}; // MPEG-1; halved for MPEG-2, quartered for 2.5
} // namespace

std::string FrameHeader::Version() const { return versionBits == 3 ? "1" : versionBits == 2 ? "2" : "2.5"; }

bool FrameHeader::SameStream(const FrameHeader& other) const {
    return versionBits == other.versionBits && layer == other.layer && sampleRate == other.sampleRate &&
           Channels() == other.Channels();
}

std::string FrameHeader::InWords() const {
    static const char* const kLayers[] = {"", "I", "II", "III"};
    return fmt::format("MPEG-{} layer {}, {} Hz, {}", Version(), kLayers[layer], sampleRate,
                       Channels() == 1 ? "mono" : "2 channels");
}

std::optional<FrameHeader> ParseFrameHeader(const uint8_t* bytes) {
    if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (bytes[1] >> 3) & 3, layerBits = (bytes[1] >> 1) & 3;
    const int bitrateIndex = bytes[2] >> 4, rateIndex = (bytes[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3) return std::nullopt;
    FrameHeader header;
    header.versionBits = versionBits;
    header.layer = 4 - layerBits;
    header.crc = (bytes[1] & 1) == 0;
    const bool mpeg1 = versionBits == 3;
    header.sampleRate = kRates[rateIndex] / (mpeg1 ? 1 : versionBits == 2 ? 2 : 4);
    header.bitrate = BitrateOf(mpeg1, header.layer, bitrateIndex);
    header.padding = (bytes[2] & 2) != 0;
    header.mode = bytes[3] >> 6;
    header.copyright = (bytes[3] & 8) != 0;
    header.original = (bytes[3] & 4) != 0;
    header.emphasis = bytes[3] & 3;
    header.samples = header.layer == 1 ? 384 : header.layer == 3 && !mpeg1 ? 576 : 1152;
    if (header.bitrate == 0) return header; // free format
    const size_t pad = header.padding ? 1 : 0;
    const size_t bitsPerSecond = static_cast<size_t>(header.bitrate) * 1000;
    if (header.layer == 1)
        header.length = (12 * bitsPerSecond / static_cast<size_t>(header.sampleRate) + pad) * 4;
    else
        header.length = static_cast<size_t>(header.samples / 8) * bitsPerSecond / static_cast<size_t>(header.sampleRate) + pad;
    return header;
}

size_t Id3v2TagSize(const uint8_t* head, size_t available) {
    if (available < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
    const size_t size = (size_t{head[6] & 0x7Fu} << 21) | (size_t{head[7] & 0x7Fu} << 14) |
                        (size_t{head[8] & 0x7Fu} << 7) | (head[9] & 0x7Fu);
    return 10 + size + ((head[5] & 0x10) ? 10 : 0); // a footer adds 10 bytes
}
} // namespace sovahost
