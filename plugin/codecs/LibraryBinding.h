// SPDX-License-Identifier: MIT
// What the two codec bindings share: loading a library under its name or its alternate,
// looking its entry points up, and freeing it. Each binding keeps its own handle, table and
// bound flag, and its own rules for them.
#pragma once

#include <platform/Loader.h>
#include <tsacore/utility/ModuleSymbols.h>

#include "codecs/TraceMessage.h"

namespace sova::binding {

// The names of one library and the trace lines of its loading.
struct LibraryNames {
    const char* name;            // tried first
    const char* alternate;       // tried when the first does not load
    const char* loading;         // traced before the first try
    const char* tryingAlternate; // traced before the second
    const char* neitherLoaded;   // traced when neither loads; null for no line
    const char* exception;       // traced when loading throws
};

// One trace site per line of one library, as every place that writes a line has its own.
struct LibraryTraceSites {
    TraceSite loading, tryingAlternate, neitherLoaded, exception, unloading;
};

// Loads the library into `handle` unless it already holds one; never throws.
void Load(platform::ModuleHandle& handle, const LibraryNames& names, LibraryTraceSites& sites);

// Frees the library `handle` holds, tracing `unloading`, and clears the handle.
void Unload(platform::ModuleHandle& handle, const char* unloading, LibraryTraceSites& sites);

// Stores the entry point `name` of the library in `slot`; null when it has none.
template <class Function>
void Resolve(platform::ModuleHandle handle, Function& slot, const char* name) {
    slot = reinterpret_cast<Function>(tsacore::utility::GetFunctionPointerFromModuleImpl(handle, name));
}

} // namespace sova::binding
