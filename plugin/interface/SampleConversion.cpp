// SPDX-License-Identifier: MIT
#include "interface/SampleConversion.h"

#include <cmath>

#include <sova/SampleFormatCode.h>

namespace sova {
namespace {
// Values outside the 16-bit range are clipped rather than wrapped: a float slightly over
// full scale then sounds like clipping instead of a loud click.
int16_t TruncateToInt16(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 32767.0) return 32767;
    if (value <= -32768.0) return -32768;
    return static_cast<int16_t>(std::trunc(value));
}
} // namespace

void CopyInt16Strided(const int16_t* source, int16_t* destination, int64_t frameCount, int32_t stride) {
    for (int64_t i = 0; i < frameCount; ++i) destination[i * stride] = source[i];
}

void ConvertChannelToInt16(const void* source, int16_t* destination, int64_t frameCount, int32_t stride,
                           int32_t sampleFormatCode) {
    switch (sampleFormatCode) {
    case sdk::kSampleUInt8: {
        const auto* in = static_cast<const uint8_t*>(source);
        for (int64_t i = 0; i < frameCount; ++i)
            destination[i * stride] = TruncateToInt16((in[i] - 128.0) * 255.9921875);
        break;
    }
    case sdk::kSampleInt16:
        CopyInt16Strided(static_cast<const int16_t*>(source), destination, frameCount, stride);
        break;
    case sdk::kSampleInt24: {
        const auto* in = static_cast<const uint8_t*>(source);
        for (int64_t i = 0; i < frameCount; ++i) {
            const uint8_t* b = in + 3 * i;
            int32_t value = b[0] | (b[1] << 8) | (b[2] << 16);
            if (value & 0x800000) value -= 0x1000000; // sign-extend from bit 23
            destination[i * stride] = TruncateToInt16(value * 0.00390625);
        }
        break;
    }
    case sdk::kSampleFloat32: {
        const auto* in = static_cast<const float*>(source);
        for (int64_t i = 0; i < frameCount; ++i)
            destination[i * stride] = TruncateToInt16(static_cast<double>(in[i]) * 32767.0);
        break;
    }
    default: break;
    }
}
} // namespace sova
