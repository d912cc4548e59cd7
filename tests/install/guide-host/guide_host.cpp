// SPDX-License-Identifier: MIT
// A second host, written from the SDK guide (SDK.md) alone, built against the installed -dev
// package: it loads the module from the plug-in folder the SDK names and describes one file.
//   guide_host FILE
// Prints "description: ...", "rate: ...", "channels: ...", "frames: ..." or one line on stderr.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sova/Sdk.h>

namespace sdk = sova::sdk;

struct Registrar final : sdk::HostRegistrar {
    void Prepare(int32_t, int32_t) override {}
    void SetIdentity(const char*, const char16_t*) override {}
    void AddFormat(const char16_t*, int32_t, const sdk::ExtensionList*, int32_t) override {}
    void AddFormatAgain(const char16_t*, int32_t, const sdk::ExtensionList*, int32_t) override {}
};

struct Open final : sdk::HostOpenRequest {
    sdk::HostMessageSink* GetMessageSink() override { return nullptr; }
    const char16_t* GetPath() override { return path.c_str(); }
    void TakeReadHandle(void* handle) override { reader = handle; }
    void SetDescription(const char16_t* text) override { description = sdk::Utf16ToUtf8(text); }
    std::u16string path;
    void* reader = nullptr;
    std::string description;
};

struct Format final : sdk::HostAudioFormat {
    sdk::HostMessageSink* GetMessageSink() override { return nullptr; }
    int32_t GetSampleRate() override { return rate; }
    void SetSampleRate(int32_t hz) override { rate = hz; }
    int32_t GetSampleFormat() override { return code; }
    void SetSampleFormat(int32_t c) override { code = c; }
    int32_t GetChannelCount() override { return channels; }
    void SetChannelCount(int32_t count) override { channels = count; }
    int32_t GetChannelType(int32_t) override { return 0; }
    void SetChannelType(int32_t, int32_t) override {}
    const char16_t* GetSettingsText() override { return settings.c_str(); }
    void SetSettingsText(const char16_t* text) override { settings = text; }
    void SetMimeType(const char*) override {}
    void SetTypeCode(uint32_t) override {}
    void SetLength(int64_t frames) override { length = frames; }
    int64_t GetLength() override { return length; }
    int32_t rate = 0, code = 0, channels = 0;
    int64_t length = 0;
    std::u16string settings;
};

struct Read final : sdk::HostReadRequest {
    int32_t GetFrameCount() override { return 1152; }
    void* GetChannelBuffer(int32_t channel) override { return buffers.at(channel).data(); }
    void SetFramesDone(int64_t frames) override { done = frames; }
    void SetLength(int64_t) override {}
    std::vector<std::vector<float>> buffers;
    int64_t done = 0;
};

int Fail(const std::string& why) {
    std::fprintf(stderr, "guide_host: %s\n", why.c_str());
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: guide_host FILE");
    Open open;
    const auto path = sdk::Utf8ToUtf16(argv[1]);
    if (!path) return Fail("the name is not UTF-8");
    open.path = *path;
    // -1 from selector 5 does not tell a missing file from another: check first.
    if (!std::filesystem::is_regular_file(argv[1]) || !std::ifstream(argv[1])) return Fail("no such file or cannot read it");

    const std::string module = std::string(SOVA_PLUGIN_DIR) + "/SovaMp2" + sdk::kModuleSuffix;
    void* library = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return Fail(dlerror());
    auto entry = reinterpret_cast<sdk::SovaInterfaceProc>(dlsym(library, sdk::kEntryPointName));
    if (!entry) return Fail("no SovaInterface");

    Registrar registrar;
    if (entry(sdk::kSelectorDescribePlugIn, nullptr, static_cast<sdk::HostRegistrar*>(&registrar)) != sdk::kResultOK ||
        entry(sdk::kSelectorStartup, nullptr, nullptr) != sdk::kResultOK)
        return Fail("the module did not start");
    int32_t result = entry(sdk::kSelectorOpenForRead, nullptr, static_cast<sdk::HostOpenRequest*>(&open));
    if (result == sdk::kResultOK) {
        Format format;
        entry(sdk::kSelectorGetReadFormat, open.reader, static_cast<sdk::HostAudioFormat*>(&format));
        Read read;
        read.buffers.assign(format.channels, std::vector<float>(1152));
        int64_t frames = 0;
        while (entry(sdk::kSelectorReadSamples, open.reader, static_cast<sdk::HostReadRequest*>(&read)) == sdk::kResultOK)
            frames += read.done;
        std::printf("description: %s\nrate: %d\nchannels: %d\nframes: %lld\n", open.description.c_str(), format.rate,
                    format.channels, static_cast<long long>(frames));
    }
    if (open.reader) entry(sdk::kSelectorCloseReader, open.reader, nullptr);
    entry(sdk::kSelectorShutdown, nullptr, nullptr);
    dlclose(library);
    return result == sdk::kResultOK ? 0 : Fail(result == sdk::kResultFailed ? "not MPEG audio" : sdk::ResultText(result));
}
