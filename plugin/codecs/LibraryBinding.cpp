#include "codecs/LibraryBinding.h"

#include <tsacore/utility/StringConversion.h>

#include "codecs/TraceMessage.h"

namespace sova::binding {

void Load(platform::ModuleHandle& handle, const LibraryNames& names) {
    if (handle)
        return;
    SOVA_TRACE(names.loading);
    try {
        handle = platform::LoadLibraryW(tsacore::utility::AsciiToUTF16(names.name).c_str());
        if (!handle) {
            SOVA_TRACE(names.tryingAlternate);
            handle = platform::LoadLibraryW(tsacore::utility::AsciiToUTF16(names.alternate).c_str());
            if (!handle && names.neitherLoaded)
                SOVA_TRACE(names.neitherLoaded);
        }
    } catch (...) {
        SOVA_TRACE(names.exception);
    }
}

void Unload(platform::ModuleHandle& handle, const char* unloading) {
    if (handle) {
        SOVA_TRACE(unloading);
        platform::FreeLibrary(handle);
    }
    handle = nullptr;
}

} // namespace sova::binding
