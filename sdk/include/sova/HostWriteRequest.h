// SPDX-License-Identifier: MIT
// Request of selector 18: one block of the host's samples to encode.
#pragma once

#include <cstdint>

#include <sova/HostAudioFormat.h>

namespace sova::sdk {
struct HostWriteRequest : HostRequest {
    virtual void Reserved2() {} // 2
    virtual int64_t GetFrameCount() = 0;                      // 3: frames in each channel buffer
    virtual const void* GetChannelBuffer(int32_t channel) = 0; // 4: host-owned, read during the call; null makes the result -6
    virtual HostAudioFormat* GetFormat() = 0;                 // 5: its sample format code describes the buffers; valid for the call
protected:
    ~HostWriteRequest() = default;
};
} // namespace sova::sdk
