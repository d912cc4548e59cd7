// SPDX-License-Identifier: MIT
// minimal-host: a Sova host written from the SDK headers alone.
//   minimal-host MODULE FILE             describe an MPEG audio file and decode it to the end
//   minimal-host MODULE IN.wav OUT.mp2   save a 16-bit PCM WAV as MP2 (module defaults: 192 kbit/s)
// Every request object derives from exactly one SDK class and is passed to SovaInterface as a
// pointer to that class: the module calls it by position in that class's table.
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <sova/ModuleVersion.h>
#include <sova/Sdk.h> // with <sova/Utf16.h>

namespace sdk = sova::sdk;

namespace {
// The protocol's texts are UTF-16; the command line and the terminal speak UTF-8. A path from
// the command line is refused when it is not UTF-8: the module would open another file.
std::u16string PathToUtf16(const std::string& path) {
    std::optional<std::u16string> converted = sdk::Utf8ToUtf16(path);
    if (!converted) throw std::runtime_error(path + ": the name is not UTF-8; rename the file");
    return *converted;
}

// Continuation lines of a multi-line text, aligned under the first.
std::string Indented(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        text.insert(at + 1, 14, ' ');
    return text;
}

// ---- Host objects -------------------------------------------------------------------------

class MessageSink final : public sdk::HostMessageSink {
public:
    void ShowMessage(const char16_t* text) override { std::fprintf(stderr, "module says: %s\n", sdk::Utf16ToUtf8(text).c_str()); }
};

MessageSink gMessages; // lives as long as any request that hands it out

class Registrar final : public sdk::HostRegistrar {
public:
    void Prepare(int32_t, int32_t) override {}
    void SetIdentity(const char* identifier, const char16_t* name) override {
        std::printf("module:       %s (%s)\n", identifier, sdk::Utf16ToUtf8(name).c_str());
    }
    void AddFormat(const char16_t* name, int32_t, const sdk::ExtensionList* extensions, int32_t) override {
        std::string list;
        for (const char* extension : *extensions) list += std::string(list.empty() ? "." : ", .") + extension;
        std::printf("format:       %s (%s)\n", sdk::Utf16ToUtf8(name).c_str(), list.c_str());
    }
    void AddFormatAgain(const char16_t*, int32_t, const sdk::ExtensionList*, int32_t) override {}
};

class AudioFormat final : public sdk::HostAudioFormat {
public:
    sdk::HostMessageSink* GetMessageSink() override { return &gMessages; }
    int32_t GetSampleRate() override { return rate; }
    void SetSampleRate(int32_t hz) override { rate = hz; }
    int32_t GetSampleFormat() override { return sampleFormat; }
    void SetSampleFormat(int32_t code) override { sampleFormat = code; }
    int32_t GetChannelCount() override { return channels; }
    void SetChannelCount(int32_t count) override { channels = count; }
    int32_t GetChannelType(int32_t channel) override { return channelTypes[channel]; }
    void SetChannelType(int32_t channel, int32_t type) override { channelTypes[channel] = type; }
    const char16_t* GetSettingsText() override { return settings.c_str(); }
    void SetSettingsText(const char16_t* text) override { settings = text; } // copied: the module's text dies with the call
    void SetMimeType(const char* type) override { mimeType = type; }
    void SetTypeCode(uint32_t) override {}
    void SetLength(int64_t frames) override { length = frames; }
    int64_t GetLength() override { return length; }

    int32_t rate = 0, sampleFormat = 0, channels = 0;
    int64_t length = 0;
    std::map<int32_t, int32_t> channelTypes;
    std::u16string settings; // empty: the module's defaults
    std::string mimeType;
};

class OpenRequest final : public sdk::HostOpenRequest {
public:
    explicit OpenRequest(std::u16string path) : path_(std::move(path)) {}
    sdk::HostMessageSink* GetMessageSink() override { return &gMessages; }
    const char16_t* GetPath() override { return path_.c_str(); }
    void TakeReadHandle(void* reader) override { handle = reader; }
    void SetDescription(const char16_t* text) override { description = sdk::Utf16ToUtf8(text); }

    void* handle = nullptr; // ours from here on, even when the open fails: close it with selector 12
    std::string description;
private:
    std::u16string path_;
};

class ReadRequest final : public sdk::HostReadRequest {
public:
    ReadRequest(int32_t channels, int32_t frames) : buffers_(channels, std::vector<float>(frames)) {}
    int32_t GetFrameCount() override { return static_cast<int32_t>(buffers_.front().size()); }
    void* GetChannelBuffer(int32_t channel) override { return buffers_.at(channel).data(); }
    void SetFramesDone(int64_t frames) override { done = frames; }
    void SetLength(int64_t frames) override { length = frames; }

    int64_t done = 0, length = -1;
private:
    std::vector<std::vector<float>> buffers_; // 32-bit float, as selector 6 announced
};

class ConformRequest final : public sdk::HostConformRequest {
public:
    explicit ConformRequest(AudioFormat& format) : format_(format) {}
    sdk::HostMessageSink* GetMessageSink() override { return &gMessages; }
    sdk::HostAudioFormat* GetFormat() override { return &format_; }
    int32_t AllowsAdjustment() override { return 1; }
    void SetEstimatedSize(int64_t bytes) override { estimatedSize = bytes; }
    void SetDescription(const char16_t* text) override { description = sdk::Utf16ToUtf8(text); }

    int64_t estimatedSize = 0;
    std::string description;
private:
    AudioFormat& format_;
};

class WriteOpenRequest final : public sdk::HostWriteOpenRequest {
public:
    WriteOpenRequest(std::u16string path, AudioFormat& format) : path_(std::move(path)), format_(format) {}
    sdk::HostMessageSink* GetMessageSink() override { return &gMessages; }
    const char16_t* GetPath() override { return path_.c_str(); }
    sdk::HostAudioFormat* GetFormat() override { return &format_; }
    void SetDescription(const char16_t* text) override { description = sdk::Utf16ToUtf8(text); }
    void TakeWriteHandle(void* writer) override { handle = writer; }

    void* handle = nullptr; // ours until selector 19 destroys it
    std::string description;
private:
    std::u16string path_;
    AudioFormat& format_;
};

class WriteRequest final : public sdk::HostWriteRequest {
public:
    WriteRequest(AudioFormat& format, std::vector<const int16_t*> channels, int64_t frames)
        : format_(format), channels_(std::move(channels)), frames_(frames) {}
    sdk::HostMessageSink* GetMessageSink() override { return &gMessages; }
    int64_t GetFrameCount() override { return frames_; }
    const void* GetChannelBuffer(int32_t channel) override { return channels_.at(channel); }
    sdk::HostAudioFormat* GetFormat() override { return &format_; }
private:
    AudioFormat& format_;
    std::vector<const int16_t*> channels_;
    int64_t frames_;
};

class CloseRequest final : public sdk::HostCloseRequest {
public:
    sdk::HostMessageSink* GetMessageSink() override { return &gMessages; }
};

// ---- The module -----------------------------------------------------------------------------

class Module {
public:
    explicit Module(const char* path) : library_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (!library_) throw std::runtime_error(std::string("cannot load module: ") + dlerror());
        const auto version = sdk::LoadedModuleSdkVersion(library_);
        if (version && !sdk::HostSupports(sdk::kSdkVersion, *version)) {
            dlclose(library_);
            throw std::runtime_error("the module speaks SDK " + std::to_string(version->major) + "." +
                                     std::to_string(version->minor) + ", which this host (SDK " +
                                     std::to_string(sdk::kSdkVersion.major) + "." +
                                     std::to_string(sdk::kSdkVersion.minor) + ") cannot drive");
        }
        entry_ = reinterpret_cast<sdk::SovaInterfaceProc>(dlsym(library_, sdk::kEntryPointName));
        if (!entry_) {
            dlclose(library_);
            throw std::runtime_error("the module exports no SovaInterface");
        }
    }
    ~Module() { dlclose(library_); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    int32_t Call(int32_t selector, void* handle, void* request) const { return entry_(selector, handle, request); }
private:
    void* library_;
    sdk::SovaInterfaceProc entry_ = nullptr;
};

void Check(int32_t result, const char* what) {
    if (result != sdk::kResultOK) throw std::runtime_error(std::string(what) + ": " + sdk::ResultText(result));
}

// ---- Reading --------------------------------------------------------------------------------

void Describe(const Module& module, const std::string& path) {
    OpenRequest open(PathToUtf16(path));
    int32_t result = module.Call(sdk::kSelectorOpenForRead, nullptr, static_cast<sdk::HostOpenRequest*>(&open));
    if (result == sdk::kResultOK) {
        AudioFormat format;
        result = module.Call(sdk::kSelectorGetReadFormat, open.handle, static_cast<sdk::HostAudioFormat*>(&format));
        if (result == sdk::kResultOK) {
            std::printf("file:         %s\n", path.c_str());
            std::printf("description:  %s\n", open.description.c_str());
            std::printf("sample rate:  %d Hz\n", format.rate);
            std::printf("channels:     %d\n", format.channels);
            std::printf("samples:      format code %d\n", format.sampleFormat);
            std::printf("length:       %lld frames\n", static_cast<long long>(format.length));
            std::printf("settings:     %s\n", sdk::Utf16ToUtf8(format.settings.c_str()).c_str());
            ReadRequest read(format.channels, 4096);
            int64_t decoded = 0;
            while (module.Call(sdk::kSelectorReadSamples, open.handle, static_cast<sdk::HostReadRequest*>(&read)) ==
                   sdk::kResultOK)
                decoded += read.done;
            std::printf("decoded:      %lld frames\n", static_cast<long long>(decoded));
        }
    }
    if (open.handle) module.Call(sdk::kSelectorCloseReader, open.handle, nullptr); // also after -4
    Check(result, "cannot open the file");
}

// ---- Writing --------------------------------------------------------------------------------

struct Wave {
    int32_t rate = 0, channels = 0;
    std::vector<int16_t> samples; // interleaved
};

uint32_t LittleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

// A RIFF WAVE file of 16-bit PCM samples (format 1 or extensible), read whole.
Wave ReadWave(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (data.size() < 12 || std::memcmp(data.data(), "RIFF", 4) != 0 || std::memcmp(data.data() + 8, "WAVE", 4) != 0)
        throw std::runtime_error(path + " is not a WAV file");
    Wave wave;
    int bits = 0;
    for (size_t at = 12; at + 8 <= data.size();) {
        const unsigned char* chunk = data.data() + at;
        const size_t size = std::min<size_t>(LittleEndian(chunk + 4, 4), data.size() - at - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            const uint32_t tag = LittleEndian(chunk + 8, 2);
            wave.channels = static_cast<int32_t>(LittleEndian(chunk + 10, 2));
            wave.rate = static_cast<int32_t>(LittleEndian(chunk + 12, 4));
            bits = (tag == 1 || tag == 0xFFFE) ? static_cast<int>(LittleEndian(chunk + 22, 2)) : 0;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            wave.samples.resize(size / 2);
            for (size_t i = 0; i < wave.samples.size(); ++i)
                wave.samples[i] = static_cast<int16_t>(LittleEndian(chunk + 8 + 2 * i, 2));
        }
        at += 8 + size + (size & 1);
    }
    if (bits != 16 || wave.channels <= 0) throw std::runtime_error(path + " is not 16-bit PCM");
    return wave;
}

void Save(const Module& module, const std::string& input, const std::string& output) {
    const Wave wave = ReadWave(input);
    const int64_t frames = static_cast<int64_t>(wave.samples.size()) / wave.channels;

    AudioFormat format;
    format.rate = wave.rate;
    format.channels = wave.channels;
    format.sampleFormat = sdk::kSampleInt16;
    format.length = frames;
    ConformRequest conform(format);
    Check(module.Call(sdk::kSelectorConformWriteFormat, nullptr, static_cast<sdk::HostConformRequest*>(&conform)),
          "cannot agree on a save format");
    std::printf("save format:  %s\n", Indented(conform.description).c_str());
    std::printf("estimated:    %lld bytes\n", static_cast<long long>(conform.estimatedSize));
    if (format.rate != wave.rate || format.channels != wave.channels)
        throw std::runtime_error("the module asks for " + std::to_string(format.channels) + " channels at " +
                                 std::to_string(format.rate) + " Hz; this example does not convert");

    WriteOpenRequest open(PathToUtf16(output), format);
    Check(module.Call(sdk::kSelectorOpenForWrite, nullptr, static_cast<sdk::HostWriteOpenRequest*>(&open)),
          "cannot create the file");
    std::printf("writing:      %s\n", open.description.c_str());

    constexpr int64_t kBlock = 4096;
    std::vector<std::vector<int16_t>> channels(wave.channels, std::vector<int16_t>(kBlock));
    int32_t result = sdk::kResultOK;
    for (int64_t start = 0; start < frames && result == sdk::kResultOK; start += kBlock) {
        const int64_t count = std::min(kBlock, frames - start);
        std::vector<const int16_t*> pointers;
        for (int32_t c = 0; c < wave.channels; ++c) {
            for (int64_t i = 0; i < count; ++i) channels[c][i] = wave.samples[(start + i) * wave.channels + c];
            pointers.push_back(channels[c].data());
        }
        WriteRequest write(format, pointers, count);
        result = module.Call(sdk::kSelectorWriteSamples, open.handle, static_cast<sdk::HostWriteRequest*>(&write));
    }
    CloseRequest close; // selector 19 destroys the writer whatever it returns
    const int32_t closed = module.Call(sdk::kSelectorCloseWriter, open.handle, static_cast<sdk::HostCloseRequest*>(&close));
    Check(result, "cannot encode");
    Check(closed, "cannot finish the file");
    std::printf("saved:        %s (%lld frames)\n", output.c_str(), static_cast<long long>(frames));
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: minimal-host MODULE FILE | minimal-host MODULE IN.wav OUT.mp2\n");
        return 2;
    }
    try {
        const Module module(argv[1]);
        Registrar registrar;
        Check(module.Call(sdk::kSelectorDescribePlugIn, nullptr, static_cast<sdk::HostRegistrar*>(&registrar)),
              "the module did not register");
        Check(module.Call(sdk::kSelectorStartup, nullptr, nullptr), "the module did not start");
        try {
            if (argc == 3) Describe(module, argv[2]);
            else Save(module, argv[2], argv[3]);
        } catch (...) {
            module.Call(sdk::kSelectorShutdown, nullptr, nullptr);
            throw;
        }
        module.Call(sdk::kSelectorShutdown, nullptr, nullptr);
    } catch (const std::exception& error) { // what leaves SovaInterface is a std::exception
        std::fprintf(stderr, "minimal-host: %s\n", error.what());
        return 1;
    }
    return 0;
}
