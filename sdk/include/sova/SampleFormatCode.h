// SPDX-License-Identifier: MIT
// Layout of the samples in one channel buffer, as exchanged through HostAudioFormat.
#pragma once

#include <cstdint>

namespace sova::sdk {
enum SampleFormatCode : int32_t {
    kSampleUInt8 = 10,   // 8-bit unsigned, 128 = silence
    kSampleInt16 = 20,   // 16-bit signed, native byte order
    kSampleInt24 = 30,   // 24-bit signed, 3 bytes, least significant first
    kSampleFloat32 = 40, // 32-bit float, full scale = 1.0
};

inline int BytesPerSample(int32_t code) {
    switch (code) {
    case kSampleUInt8: return 1;
    case kSampleInt16: return 2;
    case kSampleInt24: return 3;
    case kSampleFloat32: return 4;
    default: return 0;
    }
}
} // namespace sova::sdk
