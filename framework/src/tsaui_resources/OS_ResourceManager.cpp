// SPDX-License-Identifier: MIT
// The resource manager over a loaded module: resources are found through the module's
// "SovaModuleResources" table.
#include <tsaui/utility/OS_ResourceManager.h>

#include <atomic>

#include <dlfcn.h>

namespace tsaui::utility {
namespace {
std::atomic<uint64_t> sLive{0};
std::atomic<uint64_t> sCreated{0};

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    for (; *a && *b; ++a, ++b)
        if (lower(static_cast<unsigned char>(*a)) != lower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}
} // namespace

OS_ResourceManager::OS_ResourceManager(platform::ModuleHandle moduleInstance) : module_(moduleInstance) {
    ++sLive;
    ++sCreated;
}

OS_ResourceManager::~OS_ResourceManager() { --sLive; }

ResourceData OS_ResourceManager::Find(const char* type, const char* name) const {
    if (!module_ || !type || !name)
        return {};
    const auto* table = static_cast<const ResourceEntry*>(::dlsym(module_, kResourceTableSymbol));
    if (!table)
        return {};
    for (const ResourceEntry* entry = table; entry->type; ++entry) {
        // Types are short tags like "XML"; both compare without regard to ASCII case.
        if (entry->name && EqualIgnoringAsciiCase(entry->type, type) && EqualIgnoringAsciiCase(entry->name, name))
            return ResourceData{entry->data, entry->size};
    }
    return {};
}

uint64_t OS_ResourceManager::LiveCount() { return sLive; }
uint64_t OS_ResourceManager::CreatedCount() { return sCreated; }
} // namespace tsaui::utility
