// SPDX-License-Identifier: MIT
// The one entry point a Sova plug-in module exports, and how a host finds it.
#pragma once

#include <cstdint>

// selector: what to do (see Selectors.h); handle: an object the plug-in created earlier
// (ReadHandle, WriteHandle) or null; request: the host object for this call, or null.
// Returns a result code (see ResultCodes.h). Exceptions raised inside the module are not
// caught at this boundary: a host must be ready for them to leave this call. They derive from
// std::exception; what() says what failed. A file error while selector 19 finishes the file
// (a full disk) leaves this way, after the writer has been destroyed: the handle is gone and
// every byte that reached the file stays there. Selector 18 raises the same way when a block's
// bytes cannot be written; the writer then stays the host's, to be closed with selector 19.
extern "C" int32_t SovaInterface(int32_t selector, void* handle, void* request);

namespace sova::sdk {
using SovaInterfaceProc = int32_t (*)(int32_t selector, void* handle, void* request);
inline constexpr const char* kEntryPointName = "SovaInterface";
inline constexpr const char* kModuleSuffix = ".sova";
} // namespace sova::sdk
