// SPDX-License-Identifier: MIT
// Plain host objects over real data: what sova-host (and tests that want a real host)
// hand to the module. Depends on the sdk and the framework's string conversions. Fields are public: a host fills them in
// before a call and reads them after.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <sova/Sdk.h>

namespace sovahost {
class MessageSink final : public sova::sdk::HostMessageSink {
public:
    void ShowMessage(const char16_t* text) override; // records, and prints to stderr when echo is on
    std::vector<std::u16string> messages;
    bool echo = true;
};

class Registrar final : public sova::sdk::HostRegistrar {
public:
    void Prepare(int32_t a, int32_t b) override { prepared.push_back({a, b}); }
    void SetIdentity(const char* identifier, const char16_t* displayName) override;
    void AddFormat(const char16_t* name, int32_t a, const sova::sdk::ExtensionList* extensions, int32_t b) override;
    void AddFormatAgain(const char16_t* name, int32_t a, const sova::sdk::ExtensionList* extensions, int32_t b) override;

    struct Format {
        std::u16string name;
        std::vector<std::string> extensions;
        bool again = false; // registered through AddFormatAgain
    };
    std::vector<std::pair<int32_t, int32_t>> prepared;
    std::vector<std::pair<std::string, std::u16string>> identities;
    std::vector<Format> formats;
};

class AudioFormat final : public sova::sdk::HostAudioFormat {
public:
    sova::sdk::HostMessageSink* GetMessageSink() override { return sink; }
    int32_t GetSampleRate() override { return sampleRate; }
    void SetSampleRate(int32_t hz) override { sampleRate = hz; }
    int32_t GetSampleFormat() override { return sampleFormat; }
    void SetSampleFormat(int32_t code) override { sampleFormat = code; }
    int32_t GetChannelCount() override { return channelCount; }
    void SetChannelCount(int32_t count) override { channelCount = count; }
    int32_t GetChannelType(int32_t channel) override;
    void SetChannelType(int32_t channel, int32_t type) override { channelTypes[channel] = type; }
    const char16_t* GetSettingsText() override { return settingsText.c_str(); }
    void SetSettingsText(const char16_t* text) override { settingsText = text ? text : u""; }
    void SetMimeType(const char* type) override { mimeType = type ? type : ""; }
    void SetTypeCode(uint32_t code) override { typeCode = code; }
    void SetLength(int64_t frames) override { length = frames; }
    int64_t GetLength() override { return length; }

    sova::sdk::HostMessageSink* sink = nullptr;
    int32_t sampleRate = 0;
    int32_t sampleFormat = 0;
    int32_t channelCount = 0;
    std::map<int32_t, int32_t> channelTypes;
    std::u16string settingsText;
    std::string mimeType;
    uint32_t typeCode = 0;
    int64_t length = 0;
};

class OpenRequest final : public sova::sdk::HostOpenRequest {
public:
    sova::sdk::HostMessageSink* GetMessageSink() override { return sink; }
    const char16_t* GetPath() override { return path.c_str(); }
    void TakeReadHandle(void* handle) override { readHandle = handle; }
    void SetStreamUsable(int32_t value) override { usableValue = value; }
    void SetDescription(const char16_t* text) override { description = text ? text : u""; }

    sova::sdk::HostMessageSink* sink = nullptr;
    std::u16string path;
    void* readHandle = nullptr; // owned by the host once set: close it with selector 12
    int32_t usableValue = 0;
    std::u16string description;
};

class ReadRequest final : public sova::sdk::HostReadRequest {
public:
    int32_t GetFrameCount() override { return frameCount; }
    void* GetChannelBuffer(int32_t channel) override;
    void SetFramesDone(int64_t frames) override { framesDone = frames; }
    void SetLength(int64_t frames) override { length = frames; lengthSet = true; }

    int32_t frameCount = 0;
    std::vector<void*> buffers; // one per channel, each frameCount samples long
    int64_t framesDone = 0;
    int64_t length = 0;
    bool lengthSet = false;
};

class ConformRequest final : public sova::sdk::HostConformRequest {
public:
    sova::sdk::HostMessageSink* GetMessageSink() override { return sink; }
    sova::sdk::HostAudioFormat* GetFormat() override { return format; }
    int32_t AllowsAdjustment() override { return allowsAdjustment; }
    void SetEstimatedSize(int64_t bytes) override { estimatedSize = bytes; }
    void SetDescription(const char16_t* text) override { description = text ? text : u""; }

    sova::sdk::HostMessageSink* sink = nullptr;
    sova::sdk::HostAudioFormat* format = nullptr;
    int32_t allowsAdjustment = 1;
    int64_t estimatedSize = -1;
    std::u16string description;
};

class DialogRequest final : public sova::sdk::HostDialogRequest {
public:
    sova::sdk::HostMessageSink* GetMessageSink() override { return sink; }
    sova::sdk::HostAudioFormat* GetFormat() override { return format; }
    int32_t GetParentWindow() override { return parentWindow; }
    void SetCancelled(bool value) override { cancelled = value; cancelledSet = true; }

    sova::sdk::HostMessageSink* sink = nullptr;
    sova::sdk::HostAudioFormat* format = nullptr;
    int32_t parentWindow = 0;
    bool cancelled = false;
    bool cancelledSet = false;
};

class WriteOpenRequest final : public sova::sdk::HostWriteOpenRequest {
public:
    sova::sdk::HostMessageSink* GetMessageSink() override { return sink; }
    const char16_t* GetPath() override { return path.c_str(); }
    sova::sdk::HostAudioFormat* GetFormat() override { return format; }
    void SetDescription(const char16_t* text) override { description = text ? text : u""; }
    void TakeWriteHandle(void* handle) override { writeHandle = handle; }

    sova::sdk::HostMessageSink* sink = nullptr;
    std::u16string path;
    sova::sdk::HostAudioFormat* format = nullptr;
    std::u16string description;
    void* writeHandle = nullptr; // owned by the host once set: close it with selector 19
};

class WriteRequest final : public sova::sdk::HostWriteRequest {
public:
    sova::sdk::HostMessageSink* GetMessageSink() override { return sink; }
    int64_t GetFrameCount() override { return frameCount; }
    const void* GetChannelBuffer(int32_t channel) override;
    sova::sdk::HostAudioFormat* GetFormat() override { return format; }

    sova::sdk::HostMessageSink* sink = nullptr;
    int64_t frameCount = 0;
    std::vector<const void*> buffers;
    sova::sdk::HostAudioFormat* format = nullptr;
};

class CloseRequest final : public sova::sdk::HostCloseRequest {
public:
    sova::sdk::HostMessageSink* GetMessageSink() override { return sink; }
    sova::sdk::HostMessageSink* sink = nullptr;
};

// UTF-16 <-> UTF-8 for printing and paths.
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);
} // namespace sovahost
