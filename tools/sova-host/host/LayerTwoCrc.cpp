// SPDX-License-Identifier: MIT
#include "host/LayerTwoCrc.h"

#include <algorithm>

namespace sovahost::layer2 {
namespace {
// Allocation bits per subband (nbal) of the five Layer II allocation tables: ISO/IEC 11172-3
// tables B.2a (27 subbands), B.2b (30), B.2c (8), B.2d (12), and ISO/IEC 13818-3 table B.1 (30)
// for the lower sampling frequencies.
constexpr uint8_t kTableA[27] = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2};
constexpr uint8_t kTableB[30] = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2};
constexpr uint8_t kTableC[8] = {4, 4, 3, 3, 3, 3, 3, 3};
constexpr uint8_t kTableD[12] = {4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
constexpr uint8_t kTableLsf[30] = {4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

constexpr size_t kCrcBytes = 2;
constexpr size_t kSideInfoStartBit = (kFrameHeaderBytes + kCrcBytes) * 8;

// Most significant bit first, as the stream holds them.
class Crc16 {
public:
    void Add(uint32_t value, int bits) {
        for (int bit = bits - 1; bit >= 0; --bit) {
            const bool feedback = ((crc_ >> 15) & 1) != (((value >> bit) & 1) != 0);
            crc_ = static_cast<uint16_t>(crc_ << 1);
            if (feedback) crc_ ^= 0x8005;
        }
    }
    uint16_t Value() const { return crc_; }
private:
    uint16_t crc_ = 0xFFFF;
};

// Bits of a frame from a bit position on; reading past the end sets `overran` and yields zeros.
class BitReader {
public:
    BitReader(std::span<const uint8_t> bytes, size_t bit) : bytes_(bytes), bit_(bit) {}
    uint32_t Read(int bits) {
        uint32_t value = 0;
        for (int i = 0; i < bits; ++i, ++bit_) {
            const size_t byte = bit_ / 8;
            if (byte >= bytes_.size()) {
                overran_ = true;
                value <<= 1;
                continue;
            }
            value = (value << 1) | ((bytes_[byte] >> (7 - bit_ % 8)) & 1u);
        }
        return value;
    }
    bool Overran() const { return overran_; }
private:
    std::span<const uint8_t> bytes_;
    size_t bit_;
    bool overran_ = false;
};
} // namespace

std::optional<AllocationTable> AllocationTableFor(const FrameHeader& header) {
    if (header.layer != 2 || header.bitrate == 0) return std::nullopt;
    if (header.versionBits != 3) return AllocationTable{30, kTableLsf};
    const int perChannel = header.bitrate / header.Channels();
    const int rate = header.sampleRate;
    if ((rate == 48000 && perChannel >= 56) || (perChannel >= 56 && perChannel <= 80)) return AllocationTable{27, kTableA};
    if (rate != 48000 && perChannel >= 96) return AllocationTable{30, kTableB};
    if (rate != 32000 && perChannel <= 48) return AllocationTable{8, kTableC};
    return AllocationTable{12, kTableD};
}

std::optional<FrameCrc> CheckFrameCrc(const FrameHeader& header, std::span<const uint8_t> frame) {
    if (!header.crc || frame.size() < kFrameHeaderBytes) return std::nullopt;
    const std::optional<AllocationTable> table = AllocationTableFor(header);
    if (!table) return std::nullopt;
    FrameCrc result;
    if (frame.size() < kFrameHeaderBytes + kCrcBytes) {
        result.complete = false;
        return result;
    }
    result.stored = static_cast<uint16_t>((frame[4] << 8) | frame[5]);

    Crc16 crc;
    crc.Add(frame[2], 8);
    crc.Add(frame[3], 8);
    const int channels = header.Channels();
    const int modeExtension = (frame[3] >> 4) & 3;
    // Joint stereo codes the subbands from the bound up once for both channels.
    const int bound = header.mode == 1 ? std::min(4 + 4 * modeExtension, table->subbands) : table->subbands;
    BitReader bits(frame, kSideInfoStartBit);
    bool allocated[2][32] = {};
    for (int subband = 0; subband < table->subbands; ++subband) {
        const int width = table->bits[subband];
        for (int channel = 0; channel < (subband < bound ? channels : 1); ++channel) {
            const uint32_t allocation = bits.Read(width);
            crc.Add(allocation, width);
            allocated[channel][subband] = allocation != 0;
            if (subband >= bound) allocated[1][subband] = allocated[0][subband];
        }
    }
    for (int subband = 0; subband < table->subbands; ++subband)
        for (int channel = 0; channel < channels; ++channel)
            if (allocated[channel][subband]) crc.Add(bits.Read(2), 2); // scale factor selection
    result.computed = crc.Value();
    result.complete = !bits.Overran();
    return result;
}
} // namespace sovahost::layer2
