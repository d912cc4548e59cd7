// SPDX-License-Identifier: MIT
// Request of selector 17: create the output file and the writer.
#pragma once

#include <cstdint>

#include <sova/HostAudioFormat.h>

namespace sova::sdk {
struct HostWriteOpenRequest : HostRequest {
    virtual const char16_t* GetPath() = 0;          // 2: UTF-16 path of the file to create, valid until the next call
    virtual void Reserved3() {} // 3
    virtual HostAudioFormat* GetFormat() = 0;       // 4: rate, channels and settings text to save; host-owned, valid for the call
    virtual void WriterAttempted(int32_t /*value*/) {} // 5: called with 16 after the writer was tried
    virtual void Reserved6() {} // 6
    virtual void SetDescription(const char16_t* text) = 0; // 7: one-line target description, valid during the call
    virtual void Reserved8() {} // 8
    // 9: after a successful open; the host owns the writer until selector 19 destroys it.
    virtual void TakeWriteHandle(void* writeHandle) = 0;
protected:
    ~HostWriteOpenRequest() = default;
};
} // namespace sova::sdk
