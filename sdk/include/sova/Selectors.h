// SPDX-License-Identifier: MIT
// Selector numbers understood by SovaInterface. 16 and everything above 19 are unknown (-2).
#pragma once

#include <cstdint>

namespace sova::sdk {
enum Selector : int32_t {
    kSelectorDescribePlugIn = 0,          // request: HostRegistrar
    kSelectorStartup = 1,                 // no arguments
    kSelectorShutdown = 2,                // no arguments
    kSelector3 = 3,                       // request: HostRequest
    kSelector4 = 4,                       // request: HostSelector4Request
    kSelectorOpenForRead = 5,             // request: HostOpenRequest
    kSelectorGetReadFormat = 6,           // handle: ReadHandle, request: HostAudioFormat
    kSelectorReadSamples = 7,             // handle: ReadHandle, request: HostReadRequest
    kSelector8 = 8,                       // handle, request: HostSelector8Request
    kSelector9 = 9,                       // handle, request (opaque)
    kSelector10 = 10,                     // handle, request: HostSelector10Request
    kSelector11 = 11,                     // handle
    kSelectorCloseReader = 12,            // handle: ReadHandle
    kSelectorGetPreferredWriteFormat = 13,// request: HostAudioFormat
    kSelectorConformWriteFormat = 14,     // request: HostConformRequest
    kSelectorShowSettingsDialog = 15,     // request: HostDialogRequest
    kSelectorOpenForWrite = 17,           // request: HostWriteOpenRequest
    kSelectorWriteSamples = 18,           // handle: WriteHandle, request: HostWriteRequest
    kSelectorCloseWriter = 19,            // handle: WriteHandle, request: HostCloseRequest; destroys the writer, also when it raises
};
} // namespace sova::sdk
