#include "host/FrameHeaders.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/LayerTwoRules.h"

namespace sovahost {
namespace {
constexpr size_t kLookAt = 256 * 1024;
constexpr int kFramesToWalk = 64;

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

struct Header {
    int versionBits, layer, bitrate, rate;
    bool padding;
    size_t length; // bytes, 0 for free format
};

std::optional<Header> HeaderAt(const std::vector<uint8_t>& bytes, size_t at) {
    if (at + 4 > bytes.size() || bytes[at] != 0xFF || (bytes[at + 1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (bytes[at + 1] >> 3) & 3, layerBits = (bytes[at + 1] >> 1) & 3;
    const int bitrateIndex = bytes[at + 2] >> 4, rateIndex = (bytes[at + 2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3) return std::nullopt;
    Header header{versionBits, 4 - layerBits, 0, kRates[rateIndex], (bytes[at + 2] & 2) != 0, 0};
    const bool mpeg1 = versionBits == 3;
    if (!mpeg1) header.rate /= versionBits == 2 ? 2 : 4;
    header.bitrate = BitrateOf(mpeg1, header.layer, bitrateIndex);
    if (header.bitrate == 0) return header; // free format: no length to walk by
    const int pad = header.padding ? 1 : 0;
    if (header.layer == 1)
        header.length = static_cast<size_t>((12000 * header.bitrate / header.rate + pad) * 4);
    else
        header.length = static_cast<size_t>((header.layer == 3 && !mpeg1 ? 72000 : 144000) * header.bitrate / header.rate + pad);
    return header;
}

} // namespace

size_t Id3v2TagSize(const std::vector<uint8_t>& head) {
    if (head.size() < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
    const size_t size = (size_t{head[6] & 0x7Fu} << 21) | (size_t{head[7] & 0x7Fu} << 14) |
                        (size_t{head[8] & 0x7Fu} << 7) | (head[9] & 0x7Fu);
    return 10 + size + ((head[5] & 0x10) ? 10 : 0); // a footer adds 10 bytes
}

std::optional<FrameHeaders> ReadFrameHeaders(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> head(10);
    in.read(reinterpret_cast<char*>(head.data()), 10);
    head.resize(static_cast<size_t>(in.gcount()));
    in.clear();
    in.seekg(static_cast<std::streamoff>(Id3v2TagSize(head)));
    std::vector<uint8_t> bytes(kLookAt);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return FrameHeadersIn(bytes);
}

std::optional<FrameHeaders> FrameHeadersIn(const std::vector<uint8_t>& bytes) {
    for (size_t at = 0; at + 4 <= bytes.size(); ++at) {
        const std::optional<Header> first = HeaderAt(bytes, at);
        if (!first || first->length == 0) continue;
        const std::optional<Header> next = HeaderAt(bytes, at + first->length);
        if (!next || next->versionBits != first->versionBits || next->layer != first->layer || next->rate != first->rate)
            continue; // a chance 0xFFE in other data
        FrameHeaders found{first->versionBits == 3 ? "1" : first->versionBits == 2 ? "2" : "2.5", first->layer, false, 0};
        for (std::optional<Header> frame = first; frame && frame->length > 0 && found.framesWalked < kFramesToWalk;
             frame = HeaderAt(bytes, at)) {
            found.padding |= frame->padding;
            ++found.framesWalked;
            at += frame->length;
        }
        return found;
    }
    return std::nullopt;
}
} // namespace sovahost
