// SPDX-License-Identifier: MIT
// An audio format: the request of selectors 6 and 13, and what GetFormat returns on the
// conform, dialog, write-open and write requests. Texts returned by the host are read or
// copied by the plug-in before its next call on the object; texts passed in are valid
// during the call only.
#pragma once

#include <cstdint>

#include <sova/HostRequest.h>

namespace sova::sdk {
// What SetChannelType says a channel is.
enum ChannelType : int32_t {
    kChannelTypeOther = 0,
    kChannelTypeStereoLeft = 100,
    kChannelTypeStereoRight = 101,
};

struct HostAudioFormat : HostRequest {
    virtual int32_t GetSampleRate() = 0;                          // 2: Hz
    virtual void SetSampleRate(int32_t hz) = 0;                   // 3
    virtual int32_t GetSampleFormat() = 0;                        // 4: SampleFormatCode
    virtual void SetSampleFormat(int32_t code) = 0;               // 5
    virtual int32_t GetChannelCount() = 0;                        // 6
    virtual void SetChannelCount(int32_t count) = 0;              // 7
    virtual int32_t GetChannelType(int32_t channel) = 0;          // 8
    virtual void SetChannelType(int32_t channel, int32_t type) = 0; // 9: a ChannelType
    virtual void Reserved10() {} // 10
    virtual void Reserved11() {} // 11
    virtual void Reserved12() {} // 12
    virtual const char16_t* GetSettingsText() = 0;                // 13: UTF-16, empty for all defaults (null reads as empty); valid until the next call
    virtual void SetSettingsText(const char16_t* text) = 0;       // 14: the host copies the text
    virtual void SetMimeType(const char* mimeType) = 0;           // 15: ASCII; the host copies it
    virtual void Reserved16() {} // 16
    virtual void SetTypeCode(uint32_t fourCC) = 0;                // 17
    virtual void Reserved18() {} // 18
    virtual void Reserved19() {} // 19
    virtual void Reserved20() {} // 20
    virtual void Reserved21() {} // 21
    virtual void Reserved22() {} // 22
    virtual void Reserved23() {} // 23
    virtual void Reserved24() {} // 24
    virtual void SetLength(int64_t frames) = 0;                   // 25: sample frames
    virtual int64_t GetLength() = 0;                              // 26: sample frames
protected:
    ~HostAudioFormat() = default;
};
} // namespace sova::sdk
