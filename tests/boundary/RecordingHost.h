// Host objects that write every call made on them, as "Name(args)", to one shared log, and a
// loader for a module's SovaInterface. Built on the protocol headers alone: these tests see a
// module exactly as a foreign host would. Every placeholder position is overridden too, so a
// call on a position the protocol does not use shows up as "slotN()".
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <sova/Sdk.h>

namespace boundarytest {
using Log = std::vector<std::string>;

inline std::string Narrow(const char16_t* text) {
    if (!text) return "<null>";
    std::string out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

inline std::string Args() { return ""; }
template <class T>
std::string Args(T value) {
    if constexpr (std::is_same_v<T, bool>) return value ? "true" : "false";
    else if constexpr (std::is_pointer_v<T>) return value ? "ptr" : "null";
    else return std::to_string(value);
}
template <class T, class... Rest>
std::string Args(T first, Rest... rest) {
    return Args(first) + "," + Args(rest...);
}

// Mixed into every recording object: where the calls go.
struct Recorder {
    explicit Recorder(Log& log) : log(&log) {}
    template <class... A>
    void Note(const char* name, A... args) {
        log->push_back(std::string(name) + "(" + Args(args...) + ")");
    }
    Log* log;
};

#define BOUNDARY_SLOT(n) \
    void Reserved##n() override { Note("slot" #n); }

class RecordingSink final : public sova::sdk::HostMessageSink, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostMessageSink;
    BOUNDARY_SLOT(0)
    void ShowMessage(const char16_t* text) override { log->push_back("ShowMessage(" + Narrow(text) + ")"); }
};

// GetMessageSink for every request that has it; sink may stay null.
#define BOUNDARY_REQUEST_BASE                                 \
    BOUNDARY_SLOT(0)                                          \
    sova::sdk::HostMessageSink* GetMessageSink() override {   \
        Note("GetMessageSink");                               \
        return sink;                                          \
    }                                                         \
    sova::sdk::HostMessageSink* sink = nullptr;

class RecordingRequest final : public sova::sdk::HostRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostRequest;
    BOUNDARY_REQUEST_BASE
};

class RecordingRegistrar final : public sova::sdk::HostRegistrar, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostRegistrar;
    BOUNDARY_SLOT(0)
    BOUNDARY_SLOT(2)
    void Prepare(int32_t a, int32_t b) override { Note("Prepare", a, b); }
    void SetIdentity(const char* identifier, const char16_t* name) override {
        log->push_back(std::string("SetIdentity(") + (identifier ? identifier : "<null>") + "," + Narrow(name) + ")");
    }
    void AddFormat(const char16_t* name, int32_t a, const sova::sdk::ExtensionList* extensions, int32_t b) override {
        log->push_back("AddFormat(" + Describe(name, a, extensions, b) + ")");
    }
    void AddFormatAgain(const char16_t* name, int32_t a, const sova::sdk::ExtensionList* extensions,
                        int32_t b) override {
        log->push_back("AddFormatAgain(" + Describe(name, a, extensions, b) + ")");
    }

private:
    static std::string Describe(const char16_t* name, int32_t a, const sova::sdk::ExtensionList* extensions,
                                int32_t b) {
        std::string list;
        if (extensions)
            for (const char* extension : *extensions) list += std::string(list.empty() ? "" : " ") + extension;
        return Narrow(name) + "," + std::to_string(a) + ",[" + list + "]," + std::to_string(b);
    }
};

class RecordingSelector4Request final : public sova::sdk::HostSelector4Request, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostSelector4Request;
    BOUNDARY_REQUEST_BASE
    BOUNDARY_SLOT(2)
    BOUNDARY_SLOT(3)
    BOUNDARY_SLOT(4)
    BOUNDARY_SLOT(5)
    void Notify(int32_t value) override { Note("Op6", value); }
};

class RecordingSelector8Request final : public sova::sdk::HostSelector8Request, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostSelector8Request;
    BOUNDARY_SLOT(0)
    int64_t Value1() override { Note("Op1"); return 1001; }
    int64_t Value2() override { Note("Op2"); return 1002; }
    int32_t Value3() override { Note("Op3"); return 1003; }
};

class RecordingSelector10Request final : public sova::sdk::HostSelector10Request, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostSelector10Request;
    BOUNDARY_SLOT(0)
    int64_t Value1() override { Note("Op1"); return 2001; }
    int64_t Value2() override { Note("Op2"); return 2002; }
    int64_t Value3() override { Note("Op3"); return 2003; }
    int32_t Value4() override { Note("Op4"); return 2004; }
};

class RecordingAudioFormat final : public sova::sdk::HostAudioFormat, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostAudioFormat;
    BOUNDARY_REQUEST_BASE
    BOUNDARY_SLOT(10)
    BOUNDARY_SLOT(11)
    BOUNDARY_SLOT(12)
    BOUNDARY_SLOT(16)
    BOUNDARY_SLOT(18)
    BOUNDARY_SLOT(19)
    BOUNDARY_SLOT(20)
    BOUNDARY_SLOT(21)
    BOUNDARY_SLOT(22)
    BOUNDARY_SLOT(23)
    BOUNDARY_SLOT(24)
    int32_t GetSampleRate() override { Note("GetSampleRate"); return sampleRate; }
    void SetSampleRate(int32_t hz) override { Note("SetSampleRate", hz); sampleRate = hz; }
    int32_t GetSampleFormat() override { Note("GetSampleFormat"); return sampleFormat; }
    void SetSampleFormat(int32_t code) override { Note("SetSampleFormat", code); sampleFormat = code; }
    int32_t GetChannelCount() override { Note("GetChannelCount"); return channelCount; }
    void SetChannelCount(int32_t count) override { Note("SetChannelCount", count); channelCount = count; }
    int32_t GetChannelType(int32_t channel) override { Note("GetChannelType", channel); return 0; }
    void SetChannelType(int32_t channel, int32_t type) override { Note("SetChannelType", channel, type); }
    const char16_t* GetSettingsText() override { Note("GetSettingsText"); return settingsText.c_str(); }
    void SetSettingsText(const char16_t* text) override {
        log->push_back("SetSettingsText(" + Narrow(text) + ")");
        settingsText = text ? text : u"";
    }
    void SetMimeType(const char* type) override { log->push_back(std::string("SetMimeType(") + type + ")"); }
    void SetTypeCode(uint32_t code) override { Note("SetTypeCode", code); }
    void SetLength(int64_t frames) override { Note("SetLength", frames); length = frames; }
    int64_t GetLength() override { Note("GetLength"); return length; }

    int32_t sampleRate = 0;
    int32_t sampleFormat = 0;
    int32_t channelCount = 0;
    std::u16string settingsText;
    int64_t length = 0;
};

class RecordingOpenRequest final : public sova::sdk::HostOpenRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostOpenRequest;
    BOUNDARY_REQUEST_BASE
    BOUNDARY_SLOT(3)
    BOUNDARY_SLOT(4)
    BOUNDARY_SLOT(6)
    BOUNDARY_SLOT(8)
    const char16_t* GetPath() override { Note("GetPath"); return path.c_str(); }
    void TakeReadHandle(void* handle) override { Note("TakeReadHandle", handle); readHandle = handle; }
    void SetStreamUsable(int32_t value) override { Note("Op7", value); }
    void SetDescription(const char16_t* text) override { log->push_back("SetDescription(" + Narrow(text) + ")"); }

    std::u16string path;
    void* readHandle = nullptr;
};

class RecordingReadRequest final : public sova::sdk::HostReadRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostReadRequest;
    BOUNDARY_SLOT(0)
    BOUNDARY_SLOT(1)
    BOUNDARY_SLOT(4)
    int32_t GetFrameCount() override { Note("GetFrameCount"); return frameCount; }
    void* GetChannelBuffer(int32_t channel) override {
        Note("GetChannelBuffer", channel);
        return channel >= 0 && static_cast<size_t>(channel) < buffers.size() ? buffers[channel] : nullptr;
    }
    void SetFramesDone(int64_t frames) override { Note("SetFramesDone", frames); framesDone = frames; }
    void SetLength(int64_t frames) override { Note("SetLength", frames); }

    int32_t frameCount = 0;
    std::vector<void*> buffers;
    int64_t framesDone = 0;
};

class RecordingConformRequest final : public sova::sdk::HostConformRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostConformRequest;
    BOUNDARY_REQUEST_BASE
    BOUNDARY_SLOT(5)
    BOUNDARY_SLOT(7)
    BOUNDARY_SLOT(9)
    sova::sdk::HostAudioFormat* GetFormat() override { Note("GetFormat"); return format; }
    int32_t AllowsAdjustment() override { Note("AllowsAdjustment"); return allowsAdjustment; }
    void SetEstimatedSize(int64_t bytes) override { Note("SetEstimatedSize", bytes); }
    void BeginConform(int32_t value) override { Note("Op6", value); }
    void BeginDescribe(int32_t value) override { Note("Op8", value); }
    void SetDescription(const char16_t*) override { Note("SetDescription"); }

    sova::sdk::HostAudioFormat* format = nullptr;
    int32_t allowsAdjustment = 1;
};

class RecordingDialogRequest final : public sova::sdk::HostDialogRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostDialogRequest;
    BOUNDARY_REQUEST_BASE
    BOUNDARY_SLOT(5)
    sova::sdk::HostAudioFormat* GetFormat() override { Note("GetFormat"); return format; }
    int32_t GetParentWindow() override { Note("GetParentWindow"); return parentWindow; }
    void SetCancelled(bool cancelled) override { Note("SetCancelled", cancelled); }
    int64_t GetDialogContext() override { Note("Op6"); return context; }

    sova::sdk::HostAudioFormat* format = nullptr;
    int32_t parentWindow = 0;
    int64_t context = 0;
};

class RecordingWriteOpenRequest final : public sova::sdk::HostWriteOpenRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostWriteOpenRequest;
    BOUNDARY_REQUEST_BASE
    BOUNDARY_SLOT(3)
    BOUNDARY_SLOT(6)
    BOUNDARY_SLOT(8)
    const char16_t* GetPath() override { Note("GetPath"); return path.c_str(); }
    sova::sdk::HostAudioFormat* GetFormat() override { Note("GetFormat"); return format; }
    void WriterAttempted(int32_t value) override { Note("Op5", value); }
    void SetDescription(const char16_t*) override { Note("SetDescription"); }
    void TakeWriteHandle(void* handle) override { Note("TakeWriteHandle", handle); writeHandle = handle; }

    std::u16string path;
    sova::sdk::HostAudioFormat* format = nullptr;
    void* writeHandle = nullptr;
};

class RecordingWriteRequest final : public sova::sdk::HostWriteRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostWriteRequest;
    BOUNDARY_REQUEST_BASE
    BOUNDARY_SLOT(2)
    int64_t GetFrameCount() override { Note("GetFrameCount"); return frameCount; }
    const void* GetChannelBuffer(int32_t channel) override {
        Note("GetChannelBuffer", channel);
        return channel >= 0 && static_cast<size_t>(channel) < buffers.size() ? buffers[channel] : nullptr;
    }
    sova::sdk::HostAudioFormat* GetFormat() override { Note("GetFormat"); return format; }

    int64_t frameCount = 0;
    std::vector<const void*> buffers;
    sova::sdk::HostAudioFormat* format = nullptr;
};

class RecordingCloseRequest final : public sova::sdk::HostCloseRequest, Recorder {
public:
    using Recorder::Recorder;
    using Protocol = sova::sdk::HostCloseRequest;
    BOUNDARY_REQUEST_BASE
    bool GetCloseFlag() override { Note("Op2"); return flag; }
    int32_t GetCloseValue() override { Note("Op3"); return value; }

    bool flag = true;
    int32_t value = 3003;
};

#undef BOUNDARY_REQUEST_BASE
#undef BOUNDARY_SLOT

// A module loaded with dlopen, called only through its exported SovaInterface.
class LoadedModule {
public:
    explicit LoadedModule(const char* path) {
        library_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!library_) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
        entry_ = reinterpret_cast<sova::sdk::SovaInterfaceProc>(dlsym(library_, sova::sdk::kEntryPointName));
        if (!entry_) throw std::runtime_error("no SovaInterface in the module");
    }
    ~LoadedModule() { dlclose(library_); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // The request is passed as a pointer to its protocol class, as a host would.
    template <class Request>
    int32_t Call(int32_t selector, void* handle, Request* request) const {
        return entry_(selector, handle, static_cast<typename Request::Protocol*>(request));
    }
    int32_t Call(int32_t selector, void* handle, std::nullptr_t) const { return entry_(selector, handle, nullptr); }
    template <class T>
    T Symbol(const char* name) const {
        return reinterpret_cast<T>(dlsym(library_, name));
    }

private:
    void* library_ = nullptr;
    sova::sdk::SovaInterfaceProc entry_ = nullptr;
};
} // namespace boundarytest
