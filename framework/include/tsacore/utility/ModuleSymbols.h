// SPDX-License-Identifier: MIT
// Symbol look-up in a library loaded with platform::LoadLibraryW.
#pragma once

#include <platform/Loader.h>

namespace tsacore::utility {
// The entry point's address, or null when the library lacks it (or module is null).
void* GetFunctionPointerFromModuleImpl(platform::ModuleHandle module, const char* symbolName);
} // namespace tsacore::utility
