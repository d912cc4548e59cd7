// SPDX-License-Identifier: MIT
// One channel of host samples to 16-bit signed PCM, written with a stride so that calling it
// once per channel fills an interleaved buffer.
#pragma once

#include <cstdint>

namespace sova {
// 10: (byte - 128) * 32767/128; 20: copied; 30: packed little-endian 24-bit / 256;
// 40: float * 32767. All truncated toward zero; unknown codes write nothing.
void ConvertChannelToInt16(const void* source, int16_t* destination, int64_t frameCount, int32_t stride,
                           int32_t sampleFormatCode);
void CopyInt16Strided(const int16_t* source, int16_t* destination, int64_t frameCount, int32_t stride);
} // namespace sova
