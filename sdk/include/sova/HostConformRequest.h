// SPDX-License-Identifier: MIT
// Request of selector 14: the plug-in adjusts a proposed save format in place.
#pragma once

#include <cstdint>

#include <sova/HostAudioFormat.h>

namespace sova::sdk {
struct HostConformRequest : HostRequest {
    virtual HostAudioFormat* GetFormat() = 0;             // 2: valid for the whole call
    // 3: asked at each adjustment; 0 makes the result -8, exactly 1 also lets the bitrate follow the rate.
    virtual int32_t AllowsAdjustment() = 0;
    virtual void SetEstimatedSize(int64_t bytes) = 0;     // 4
    virtual void Reserved5() {} // 5
    virtual void BeginConform(int32_t /*value*/) {} // 6: called first, with 1
    virtual void Reserved7() {} // 7
    virtual void BeginDescribe(int32_t /*value*/) {} // 8: called second, with 1
    virtual void Reserved9() {} // 9
    virtual void SetDescription(const char16_t* text) = 0; // 10: multi-line target description
protected:
    ~HostConformRequest() = default;
};
} // namespace sova::sdk
