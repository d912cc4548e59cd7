// SPDX-License-Identifier: MIT
// Request of selector 7: decode the next block into the host's channel buffers.
#pragma once

#include <cstdint>

#include <sova/HostObject.h>

namespace sova::sdk {
struct HostReadRequest : HostObject {
    virtual void Reserved1() {} // 1: never called (no message sink)
    virtual int32_t GetFrameCount() = 0;                  // 2: frames wanted = capacity of each buffer
    virtual void* GetChannelBuffer(int32_t channel) = 0;  // 3: host-owned, in the announced sample format, written during the call
    virtual void Reserved4() {} // 4
    virtual void SetFramesDone(int64_t frames) = 0;       // 5
    virtual void SetLength(int64_t frames) = 0;           // 6: updated total length
protected:
    ~HostReadRequest() = default;
};
} // namespace sova::sdk
