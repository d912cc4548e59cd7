// SPDX-License-Identifier: MIT
// Resources embedded in a loaded module. A module publishes them as the data symbol
// "SovaModuleResources": an array of ResourceEntry ended by an entry whose type is null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <platform/Loader.h>

namespace tsaui::utility {
struct ResourceEntry {
    const char* type;   // e.g. "XML"; null ends the table
    const char* name;   // e.g. "FORMATOPTIONS"
    const uint8_t* data;
    size_t size;
};
inline constexpr const char* kResourceTableSymbol = "SovaModuleResources";

struct ResourceData {
    const uint8_t* data = nullptr; // valid while the module stays loaded
    size_t size = 0;
    explicit operator bool() const { return data != nullptr; }
};

class OS_ResourceManager {
public:
    explicit OS_ResourceManager(platform::ModuleHandle moduleInstance);
    virtual ~OS_ResourceManager();
    platform::ModuleHandle ModuleInstance() const { return module_; }
    // Looks a resource up by type and name; names compare without regard to ASCII case,
    // so "FormatOptions" finds "FORMATOPTIONS".
    ResourceData Find(const char* type, const char* name) const;

    static uint64_t LiveCount();    // resource managers alive now, for hosts and tests
    static uint64_t CreatedCount(); // resource managers made since the process started
private:
    platform::ModuleHandle module_;
};
} // namespace tsaui::utility
