// SPDX-License-Identifier: MIT
// Request of selector 0: the plug-in registers its identity and its file format.
#pragma once

#include <cstdint>
#include <list>

#include <sova/HostObject.h>

namespace sova::sdk {
// Extensions without a leading dot, as zero-terminated ASCII. Owned by the plug-in, valid
// during the AddFormat call only.
using ExtensionList = std::list<const char*>;

struct HostRegistrar : HostObject {
    virtual void Prepare(int32_t a, int32_t b) = 0;  // 1: called with (1, 1) before anything else
    virtual void Reserved2() {} // 2
    // 3: identifier is ASCII, name UTF-16; both valid during the call only.
    virtual void SetIdentity(const char* identifier, const char16_t* displayName) = 0;
    // 4: one format; the second and fourth arguments are 0.
    virtual void AddFormat(const char16_t* formatName, int32_t a, const ExtensionList* extensions, int32_t b) = 0;
    // 5: called right after AddFormat with the same arguments.
    virtual void AddFormatAgain(const char16_t* formatName, int32_t a, const ExtensionList* extensions, int32_t b) = 0;
protected:
    ~HostRegistrar() = default;
};
} // namespace sova::sdk
