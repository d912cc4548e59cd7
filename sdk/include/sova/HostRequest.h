// SPDX-License-Identifier: MIT
// Position 1 of every request for which the plug-in keeps a message sink
// (selectors 3, 4, 5, 6, 13, 14, 15, 17, 18, 19).
#pragma once

#include <sova/HostMessageSink.h>

namespace sova::sdk {
struct HostRequest : HostObject {
    // 1: may return null. The sink must stay valid for the rest of the call.
    virtual HostMessageSink* GetMessageSink() = 0;
protected:
    ~HostRequest() = default;
};
} // namespace sova::sdk
