// SPDX-License-Identifier: MIT
// Host objects that log every call made on them as "Name(args)", and a loader for a module's
// SovaInterface. Built on the protocol headers alone, so the tests see a module as a foreign
// host would. Placeholder positions are overridden too: a call on one shows up as "slotN()".
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include <sova/Sdk.h>

namespace boundarytest {
using Log = std::vector<std::string>;

// Pointers are logged by address, so a test can tell which object was passed on.
inline std::string Id(const void* pointer) {
    return pointer ? std::to_string(reinterpret_cast<uintptr_t>(pointer)) : "null";
}

template <class T>
std::string Arg(T value) {
    if constexpr (std::is_same_v<T, bool>) return value ? "true" : "false";
    else if constexpr (std::is_same_v<T, const char*>) return value ? value : "null";
    else if constexpr (std::is_same_v<T, const char16_t*>) {
        std::string out = value ? "" : "null";
        for (; value && *value; ++value) out += *value < 0x80 ? static_cast<char>(*value) : '?';
        return out;
    } else if constexpr (std::is_pointer_v<T>) return Id(value);
    else return std::to_string(value);
}

template <class... A>
std::string Format(const char* name, A... args) {
    std::string out = std::string(name) + "(";
    ((out += Arg(args) + ","), ...);
    if constexpr (sizeof...(A) > 0) out.pop_back();
    return out + ")";
}

struct Recorder {
    explicit Recorder(Log& log) : log(&log) {}
    template <class... A>
    void Note(const char* name, A... args) { log->push_back(Format(name, args...)); }
    Log* log;
};

#define RECORDING(Name, Base)                                           \
    class Name final : public sova::sdk::Base, public Recorder {        \
    public:                                                             \
        using Recorder::Recorder;                                       \
        using Protocol = sova::sdk::Base;
#define SLOT(n) void Reserved##n() override { Note("slot" #n); }
// GetMessageSink for every request that has it; the sink may stay null.
#define REQUEST_BASE                                                                        \
    SLOT(0)                                                                                 \
    sova::sdk::HostMessageSink* GetMessageSink() override { Note("GetMessageSink"); return sink; } \
    sova::sdk::HostMessageSink* sink = nullptr;

RECORDING(RecordingSink, HostMessageSink)
    SLOT(0)
    void ShowMessage(const char16_t* text) override { Note("ShowMessage", text); }
};

RECORDING(RecordingRequest, HostRequest)
    REQUEST_BASE
};

RECORDING(RecordingRegistrar, HostRegistrar)
    SLOT(0) SLOT(2)
    void Prepare(int32_t a, int32_t b) override { Note("Prepare", a, b); }
    void SetIdentity(const char* id, const char16_t* name) override { Note("SetIdentity", id, name); }
    void AddFormat(const char16_t* f, int32_t a, const sova::sdk::ExtensionList* e, int32_t b) override {
        Note("AddFormat", f, a, e, b);
    }
    void AddFormatAgain(const char16_t* f, int32_t a, const sova::sdk::ExtensionList* e, int32_t b) override {
        Note("AddFormatAgain", f, a, e, b);
    }
};

RECORDING(RecordingSelector4Request, HostSelector4Request)
    REQUEST_BASE SLOT(2) SLOT(3) SLOT(4) SLOT(5)
    void Notify(int32_t value) override { Note("Op6", value); }
};

RECORDING(RecordingSelector8Request, HostSelector8Request)
    SLOT(0)
    int64_t Value1() override { Note("Op1"); return 1001; }
    int64_t Value2() override { Note("Op2"); return 1002; }
    int32_t Value3() override { Note("Op3"); return 1003; }
};

RECORDING(RecordingSelector10Request, HostSelector10Request)
    SLOT(0)
    int64_t Value1() override { Note("Op1"); return 2001; }
    int64_t Value2() override { Note("Op2"); return 2002; }
    int64_t Value3() override { Note("Op3"); return 2003; }
    int32_t Value4() override { Note("Op4"); return 2004; }
};

RECORDING(RecordingAudioFormat, HostAudioFormat)
    REQUEST_BASE SLOT(10) SLOT(11) SLOT(12) SLOT(16) SLOT(18) SLOT(19) SLOT(20) SLOT(21) SLOT(22) SLOT(23) SLOT(24)
    int32_t GetSampleRate() override { Note("GetSampleRate"); return sampleRate; }
    void SetSampleRate(int32_t hz) override { Note("SetSampleRate", hz); sampleRate = hz; }
    int32_t GetSampleFormat() override { Note("GetSampleFormat"); return sampleFormat; }
    void SetSampleFormat(int32_t code) override { Note("SetSampleFormat", code); sampleFormat = code; }
    int32_t GetChannelCount() override { Note("GetChannelCount"); return channelCount; }
    void SetChannelCount(int32_t count) override { Note("SetChannelCount", count); channelCount = count; }
    int32_t GetChannelType(int32_t channel) override { Note("GetChannelType", channel); return 0; }
    void SetChannelType(int32_t channel, int32_t type) override { Note("SetChannelType", channel, type); }
    const char16_t* GetSettingsText() override {
        Note("GetSettingsText");
        return nullSettingsText ? nullptr : settingsText.c_str();
    }
    void SetSettingsText(const char16_t* text) override { Note("SetSettingsText", text); settingsText = text; }
    void SetMimeType(const char* type) override { Note("SetMimeType", type); }
    void SetTypeCode(uint32_t code) override { Note("SetTypeCode", code); }
    void SetLength(int64_t frames) override { Note("SetLength", frames); length = frames; }
    int64_t GetLength() override { Note("GetLength"); return length; }
    int32_t sampleRate = 44100, sampleFormat = sova::sdk::kSampleInt16, channelCount = 2;
    std::u16string settingsText;
    bool nullSettingsText = false; // a host that has no text yet and answers null
    int64_t length = 44100;
};

RECORDING(RecordingConformRequest, HostConformRequest)
    REQUEST_BASE SLOT(5) SLOT(7) SLOT(9)
    sova::sdk::HostAudioFormat* GetFormat() override { Note("GetFormat"); return format; }
    int32_t AllowsAdjustment() override { Note("AllowsAdjustment"); return 1; }
    void SetEstimatedSize(int64_t bytes) override { Note("SetEstimatedSize", bytes); }
    void BeginConform(int32_t value) override { Note("Op6", value); }
    void BeginDescribe(int32_t value) override { Note("Op8", value); }
    void SetDescription(const char16_t*) override { Note("SetDescription"); }
    sova::sdk::HostAudioFormat* format = nullptr;
};

// One block of planar samples; not logged (a whole file passes through it).
class PlanarWriteRequest final : public sova::sdk::HostWriteRequest {
public:
    using Protocol = sova::sdk::HostWriteRequest;
    void Reserved0() override {}
    sova::sdk::HostMessageSink* GetMessageSink() override { return nullptr; }
    int64_t GetFrameCount() override { return frameCount; }
    const void* GetChannelBuffer(int32_t channel) override { return channels.at(static_cast<size_t>(channel)); }
    sova::sdk::HostAudioFormat* GetFormat() override { return format; }
    int64_t frameCount = 0;
    std::vector<const void*> channels;
    sova::sdk::HostAudioFormat* format = nullptr;
};

RECORDING(RecordingOpenRequest, HostOpenRequest)
    REQUEST_BASE SLOT(3) SLOT(4) SLOT(6) SLOT(8)
    const char16_t* GetPath() override { Note("GetPath"); return path.c_str(); }
    void TakeReadHandle(void* handle) override { Note("TakeReadHandle", handle); readHandle = handle; }
    void SetStreamUsable(int32_t value) override { Note("Op7", value); }
    void SetDescription(const char16_t* text) override { Note("SetDescription", text); }
    std::u16string path;
    void* readHandle = nullptr;
};

RECORDING(RecordingDialogRequest, HostDialogRequest)
    REQUEST_BASE SLOT(5)
    sova::sdk::HostAudioFormat* GetFormat() override { Note("GetFormat"); return format; }
    int32_t GetParentWindow() override { Note("GetParentWindow"); return 4242; }
    void SetCancelled(bool cancelled) override { Note("SetCancelled", cancelled); }
    int64_t GetDialogContext() override { Note("Op6"); return 1234567890123; }
    sova::sdk::HostAudioFormat* format = nullptr;
};

RECORDING(RecordingWriteOpenRequest, HostWriteOpenRequest)
    REQUEST_BASE SLOT(3) SLOT(6) SLOT(8)
    const char16_t* GetPath() override { Note("GetPath"); return path.c_str(); }
    sova::sdk::HostAudioFormat* GetFormat() override { Note("GetFormat"); return format; }
    void WriterAttempted(int32_t value) override { Note("Op5", value); }
    void SetDescription(const char16_t*) override { Note("SetDescription"); }
    void TakeWriteHandle(void* handle) override { Note("TakeWriteHandle", handle); writeHandle = handle; }
    std::u16string path;
    sova::sdk::HostAudioFormat* format = nullptr;
    void* writeHandle = nullptr;
};

RECORDING(RecordingCloseRequest, HostCloseRequest)
    REQUEST_BASE
    bool GetCloseFlag() override { Note("Op2"); return true; }
    int32_t GetCloseValue() override { Note("Op3"); return 3003; }
};

#undef REQUEST_BASE
#undef SLOT
#undef RECORDING

// How many of this process's descriptors are open on path: 0 once a module let go of a file.
inline int DescriptorsOn(const std::filesystem::path& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += std::filesystem::read_symlink(entry.path(), error) == path;
    }
    return count;
}

// A module loaded with dlopen and called only through its exported SovaInterface.
class LoadedModule {
public:
    explicit LoadedModule(const char* path) : library_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (!library_) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
        entry_ = Symbol<sova::sdk::SovaInterfaceProc>(sova::sdk::kEntryPointName);
        if (!entry_) throw std::runtime_error("no SovaInterface in the module");
    }
    ~LoadedModule() { dlclose(library_); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // A recording object is passed as a pointer to its protocol class, as a host would.
    template <class R>
    int32_t Call(int32_t selector, void* handle, R* request) const {
        if constexpr (requires { typename R::Protocol; })
            return entry_(selector, handle, static_cast<typename R::Protocol*>(request));
        else return entry_(selector, handle, request);
    }
    int32_t Call(int32_t selector, void* handle, std::nullptr_t) const { return entry_(selector, handle, nullptr); }
    template <class T>
    T Symbol(const char* name) const { return reinterpret_cast<T>(dlsym(library_, name)); }

private:
    void* library_;
    sova::sdk::SovaInterfaceProc entry_ = nullptr;
};
} // namespace boundarytest
