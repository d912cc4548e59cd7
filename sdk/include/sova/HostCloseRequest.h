// SPDX-License-Identifier: MIT
// Request of selector 19: finish the file. The two values are passed on and not used.
#pragma once

#include <cstdint>

#include <sova/HostRequest.h>

namespace sova::sdk {
struct HostCloseRequest : HostRequest {
    virtual bool GetCloseFlag() { return false; }     // 2
    virtual int32_t GetCloseValue() { return 0; }     // 3
protected:
    ~HostCloseRequest() = default;
};
} // namespace sova::sdk
