// SPDX-License-Identifier: MIT
#include "host/HandedSamples.h"

#include <cstring>

#include "sova/SampleFormatCode.h"

namespace sovahost {
namespace {
float SampleAt(const uint8_t* buffer, int64_t index, int32_t code) {
    using namespace sova::sdk;
    switch (code) {
    case kSampleUInt8: return (buffer[index] - 128) / 128.0f;
    case kSampleInt16: {
        int16_t value = 0;
        std::memcpy(&value, buffer + 2 * index, 2);
        return value / 32768.0f;
    }
    case kSampleInt24: {
        const uint8_t* at = buffer + 3 * index;
        const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(at[0]) << 8 | static_cast<uint32_t>(at[1]) << 16 |
                                                   static_cast<uint32_t>(at[2]) << 24) >> 8; // sign-extended
        return value / 8388608.0f;
    }
    case kSampleFloat32: {
        float value = 0;
        std::memcpy(&value, buffer + 4 * index, 4);
        return value;
    }
    default: return 0.0f;
    }
}
} // namespace

void InterleavedFloat(const std::vector<std::vector<uint8_t>>& buffers, int64_t frames, int32_t code, std::vector<float>& out) {
    const size_t channels = buffers.size();
    out.resize(static_cast<size_t>(frames) * channels);
    for (size_t c = 0; c < channels; ++c)
        for (int64_t i = 0; i < frames; ++i) out[static_cast<size_t>(i) * channels + c] = SampleAt(buffers[c].data(), i, code);
}
} // namespace sovahost
