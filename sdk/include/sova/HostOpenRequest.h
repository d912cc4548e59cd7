// SPDX-License-Identifier: MIT
// Request of selector 5: open a file for reading.
#pragma once

#include <cstdint>

#include <sova/HostRequest.h>

namespace sova::sdk {
struct HostOpenRequest : HostRequest {
    virtual const char16_t* GetPath() = 0;                // 2: UTF-16 path, valid until the next call on the request
    virtual void Reserved3() {} // 3
    virtual void Reserved4() {} // 4
    // 5: the host owns the reader from here on (also when the result is -4) and must
    // close it with selector 12.
    virtual void TakeReadHandle(void* readHandle) = 0;
    virtual void Reserved6() {} // 6
    virtual void SetStreamUsable(int32_t /*value*/) {} // 7: called with 4 once the stream is usable
    virtual void Reserved8() {} // 8
    virtual void SetDescription(const char16_t* text) = 0; // 9: one-line source description, valid during the call
protected:
    ~HostOpenRequest() = default;
};
} // namespace sova::sdk
