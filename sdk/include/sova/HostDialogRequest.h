// SPDX-License-Identifier: MIT
// Request of selector 15: show the encoder settings dialog for a format.
#pragma once

#include <cstdint>

#include <sova/HostAudioFormat.h>

namespace sova::sdk {
struct HostDialogRequest : HostRequest {
    virtual HostAudioFormat* GetFormat() = 0;     // 2: its settings text is what the dialog edits; valid for the call
    virtual int32_t GetParentWindow() = 0;        // 3: the host's parent window value
    virtual void SetCancelled(bool cancelled) = 0; // 4: only called when the dialog ran (result 0)
    virtual void Reserved5() {} // 5
    virtual int64_t GetDialogContext() { return 0; } // 6: passed through, unused by the plug-in
protected:
    ~HostDialogRequest() = default;
};
} // namespace sova::sdk
