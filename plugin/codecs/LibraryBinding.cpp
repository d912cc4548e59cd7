// SPDX-License-Identifier: MIT
#include "codecs/LibraryBinding.h"

#include <tsacore/utility/StringConversion.h>


namespace sova::binding {

void Load(platform::ModuleHandle& handle, const LibraryNames& names, LibraryTraceSites& sites) {
    if (handle)
        return;
    TraceMessage(sites.loading, names.loading);
    try {
        handle = platform::LoadLibraryW(tsacore::utility::AsciiToUTF16(names.name).c_str());
        if (!handle) {
            TraceMessage(sites.tryingAlternate, names.tryingAlternate);
            handle = platform::LoadLibraryW(tsacore::utility::AsciiToUTF16(names.alternate).c_str());
            if (!handle && names.neitherLoaded)
                TraceMessage(sites.neitherLoaded, names.neitherLoaded);
        }
    } catch (...) {
        TraceMessage(sites.exception, names.exception);
    }
}

void Unload(platform::ModuleHandle& handle, const char* unloading, LibraryTraceSites& sites) {
    if (handle) {
        TraceMessage(sites.unloading, unloading);
        platform::FreeLibrary(handle);
    }
    handle = nullptr;
}

} // namespace sova::binding
