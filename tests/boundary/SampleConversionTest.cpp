// ConvertToInt16: host samples of each format code to 16-bit, one channel at a time into an
// interleaved buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "interface/SovaInterfaceTemplate.h"

namespace {
struct AnyReader;
struct AnyWriter;
using Template = SovaInterfaceTemplate<AnyReader, AnyWriter>;
using namespace sova::sdk;

std::vector<int16_t> Convert(const void* source, size_t frames, int32_t code) {
    std::vector<int16_t> out(frames, 0x5555);
    Template::ConvertToInt16(source, out.data(), static_cast<int64_t>(frames), 1, code);
    return out;
}

std::vector<uint8_t> Packed24(std::initializer_list<int32_t> values) {
    std::vector<uint8_t> bytes;
    for (int32_t v : values) {
        const auto u = static_cast<uint32_t>(v);
        bytes.insert(bytes.end(), {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16)});
    }
    return bytes;
}

TEST(ConvertToInt16, EightBitUnsignedCentresOn128) {
    const uint8_t in[] = {128, 0, 255, 129, 127, 192};
    // (b - 128) * 32767/128, truncated toward zero: 64 * 255.9921875 = 16383.5 -> 16383.
    EXPECT_EQ(Convert(in, 6, kSampleUInt8), (std::vector<int16_t>{0, -32767, 32511, 255, -255, 16383}));
}

TEST(ConvertToInt16, SixteenBitIsCopied) {
    const int16_t in[] = {0, 1, -1, 32767, -32768, 1234};
    EXPECT_EQ(Convert(in, 6, kSampleInt16), (std::vector<int16_t>{0, 1, -1, 32767, -32768, 1234}));
}

TEST(ConvertToInt16, TwentyFourBitKeepsTheTopSixteenBitsTruncatedTowardZero) {
    const auto in = Packed24({8388607, -8388608, 0, 256, -256, 255, -255, -257, 0x123456});
    // -255 / 256 and -257 / 256 truncate toward zero (0 and -1), not down.
    EXPECT_EQ(Convert(in.data(), 9, kSampleInt24),
              (std::vector<int16_t>{32767, -32768, 0, 1, -1, 0, 0, -1, 0x1234}));
}

TEST(ConvertToInt16, FloatFullScaleIsOne) {
    const float in[] = {1.0f, -1.0f, 0.5f, 0.0f, -0.5f, 0.25f};
    EXPECT_EQ(Convert(in, 6, kSampleFloat32), (std::vector<int16_t>{32767, -32767, 16383, 0, -16383, 8191}));
}

// Out of [-1, 1] a float saturates at the 16-bit limits instead of wrapping around.
TEST(ConvertToInt16, FloatOutOfRangeIsClipped) {
    const float in[] = {1.5f, -1.5f, 2.0f, -3.0f, 1.0001f, std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()};
    EXPECT_EQ(Convert(in, 7, kSampleFloat32), (std::vector<int16_t>{32767, -32768, 32767, -32768, 32767, 32767, -32768}));
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

TEST(ConvertToInt16, UnknownCodesAndEmptyBlocksWriteNothing) {
    const uint8_t in[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (int32_t code : {0, 11, 21, 32, 41, 50, -20})
        EXPECT_EQ(Convert(in, 4, code), (std::vector<int16_t>(4, 0x5555))) << "code " << code;
    for (int32_t code : {10, 20, 30, 40})
        EXPECT_EQ(Convert(in, 0, code), (std::vector<int16_t>{})) << "code " << code;
    std::vector<int16_t> untouched(4, 0x5555);
    Template::ConvertToInt16(in, untouched.data(), 0, 1, kSampleInt16);
    EXPECT_EQ(untouched, (std::vector<int16_t>(4, 0x5555)));
}
} // namespace
