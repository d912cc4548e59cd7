// SPDX-License-Identifier: MIT
// Where the plug-in shows a message to the user (only the writer's open failure uses it).
#pragma once

#include <sova/HostObject.h>

namespace sova::sdk {
struct HostMessageSink : HostObject {
    // 1: text is zero-terminated UTF-16, valid only during the call.
    virtual void ShowMessage(const char16_t* text) = 0;
protected:
    ~HostMessageSink() = default;
};
} // namespace sova::sdk
