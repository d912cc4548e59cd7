// SPDX-License-Identifier: MIT
// What the plug-in reads from the requests of selectors 4, 8 and 10, which it does not
// otherwise support (the defaults answer -3).
#pragma once

#include <cstdint>

#include <sova/HostRequest.h>

namespace sova::sdk {
struct HostSelector4Request : HostRequest {
    virtual void Reserved2() {}
    virtual void Reserved3() {}
    virtual void Reserved4() {}
    virtual void Reserved5() {}
    virtual void Notify(int32_t /*value*/) {} // 6: called with 0
protected:
    ~HostSelector4Request() = default;
};

struct HostSelector8Request : HostObject {
    virtual int64_t Value1() { return 0; } // 1: read third
    virtual int64_t Value2() { return 0; } // 2: read second
    virtual int32_t Value3() { return 0; } // 3: read first
protected:
    ~HostSelector8Request() = default;
};

struct HostSelector10Request : HostObject {
    virtual int64_t Value1() { return 0; } // 1: read fourth
    virtual int64_t Value2() { return 0; } // 2: read third
    virtual int64_t Value3() { return 0; } // 3: read second
    virtual int32_t Value4() { return 0; } // 4: read first
protected:
    ~HostSelector10Request() = default;
};
} // namespace sova::sdk
