// SPDX-License-Identifier: MIT
// Objects the plug-in creates and the host owns between an open and its close selector.
// To the host they are opaque pointers: it stores them and passes them back as `handle`.
#pragma once

namespace sova::sdk {
using ReadHandle = void*;   // from HostOpenRequest::TakeReadHandle until selector 12
using WriteHandle = void*;  // from HostWriteOpenRequest::TakeWriteHandle until selector 19
} // namespace sova::sdk
