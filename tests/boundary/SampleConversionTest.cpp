// SPDX-License-Identifier: MIT
// ConvertToInt16: host samples of each format code to 16-bit, one channel at a time into an
// interleaved buffer.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "interface/SovaInterfaceTemplate.h"

namespace {
using Template = SovaInterfaceTemplate<struct AnyReader, struct AnyWriter>;
using namespace sova::sdk;

template <class T>
std::vector<int16_t> Convert(const std::vector<T>& in, int32_t code, size_t frames) {
    std::vector<int16_t> out(frames, 0x5555);
    Template::ConvertToInt16(in.data(), out.data(), static_cast<int64_t>(frames), 1, code);
    return out;
}

std::vector<uint8_t> Packed24(std::initializer_list<int32_t> values) {
    std::vector<uint8_t> bytes;
    for (int32_t v : values)
        for (int shift : {0, 8, 16}) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift));
    return bytes;
}

TEST(ConvertToInt16, EachCodeConvertsAndTruncatesTowardZero) {
    // 8-bit: (b - 128) * 32767/128, so 192 gives 16383.5 -> 16383.
    EXPECT_EQ(Convert(std::vector<uint8_t>{128, 0, 255, 129, 127, 192}, kSampleUInt8, 6),
              (std::vector<int16_t>{0, -32767, 32511, 255, -255, 16383}));
    EXPECT_EQ(Convert(std::vector<int16_t>{0, -1, 32767, -32768, 1234}, kSampleInt16, 5),
              (std::vector<int16_t>{0, -1, 32767, -32768, 1234}));
    // 24-bit: the top sixteen bits, -255/256 and -257/256 truncated toward zero (0 and -1).
    EXPECT_EQ(Convert(Packed24({8388607, -8388608, 0, 256, -256, -255, -257, 0x123456}), kSampleInt24, 8),
              (std::vector<int16_t>{32767, -32768, 0, 1, -1, 0, -1, 0x1234}));
    // Float: full scale is 1.0; out of range saturates instead of wrapping (our choice).
    const float infinity = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Convert(std::vector<float>{1.0f, -1.0f, 0.5f, 0.0f, -0.5f, 1.5f, -3.0f, infinity, -infinity},
                      kSampleFloat32, 9),
              (std::vector<int16_t>{32767, -32767, 16383, 0, -16383, 32767, -32768, 32767, -32768}));
    // Unknown codes and empty blocks write nothing.
    const std::vector<uint8_t> bytes(16, 1);
    for (int32_t code : {0, 11, 21, 32, 41, -20}) EXPECT_EQ(Convert(bytes, code, 4), std::vector<int16_t>(4, 0x5555));
    std::vector<int16_t> untouched(4, 0x5555);
    for (int32_t code : {10, 20, 30, 40}) Template::ConvertToInt16(bytes.data(), untouched.data(), 0, 1, code);
    EXPECT_EQ(untouched, std::vector<int16_t>(4, 0x5555));
}

TEST(ConvertToInt16, ChannelsInterleaveWithTheStride) {
    const float left[] = {0.5f, -0.5f, 1.0f, 0.0f};
    const uint8_t middle[] = {255, 0, 128, 129};
    const int16_t right[] = {7, -7, 100, -100};
    std::vector<int16_t> out(12, 0x5555);
    Template::ConvertToInt16(left, out.data() + 0, 4, 3, kSampleFloat32);
    Template::ConvertToInt16(middle, out.data() + 1, 4, 3, kSampleUInt8);
    Template::ConvertToInt16(right, out.data() + 2, 4, 3, kSampleInt16);
    EXPECT_EQ(out, (std::vector<int16_t>{16383, 32511, 7, -16383, -32767, -7, 32767, 0, 100, 0, 255, -100}));
}
} // namespace
