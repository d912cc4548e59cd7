// SPDX-License-Identifier: MIT
// What the writer tests (and the writer benchmark) share: generated audio and WAV files, child
// processes, MPEG frame headers, and a host driving the real module with the save sequence
// 13, 14, 17, 18..., 19.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <sndfile.h>

#include "module/HostModule.h"
#include "Process.h"
#include "module/HostObjects.h"

namespace writertest {
using namespace sova::sdk;

// A fresh folder below /tmp, removed with its contents.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/sova-writer-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

using ProcessResult = testsupport::ProcessRun; // stdout and stderr together, in out

// inChild runs in the child before exec; stdin is /dev/null (no terminal, no progress bar).
inline ProcessResult RunProcess(std::vector<std::string> args, const std::function<void()>& inChild = {}) {
    return testsupport::RunProcess(std::move(args), {"/dev/null", true, inChild});
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Interleaved 16-bit audio: chords differing per channel, a little noise, full-scale clicks.
inline std::vector<int16_t> TestSignal(int64_t frames, int channels, int rate) {
    std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
    uint32_t noise = 12345;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            double value = 0.35 * std::sin(2 * M_PI * (220.0 * (c + 1)) * t) +
                           0.2 * std::sin(2 * M_PI * (1234.5 + 300.0 * c) * t) * std::sin(2 * M_PI * 0.5 * t) +
                           0.05 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
            if (i % 10007 == 0) value = (i / 10007) % 2 ? 1.0 : -1.0;
            samples[static_cast<size_t>(i * channels + c)] =
                static_cast<int16_t>(std::lround(std::clamp(value * 32768.0, -32768.0, 32767.0)));
        }
    }
    return samples;
}

// int16_t, int32_t (24-bit values) or float samples; format: a libsndfile container, WAV by default.
template <class T>
void WriteWav(const std::string& path, const std::vector<T>& data, int channels, int rate, int format = SF_FORMAT_WAV) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format | (std::is_same_v<T, int16_t> ? SF_FORMAT_PCM_16
                            : std::is_same_v<T, float> ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path);
    const sf_count_t frames = static_cast<sf_count_t>(data.size() / channels);
    if constexpr (std::is_same_v<T, int16_t>) sf_writef_short(file, data.data(), frames);
    if constexpr (std::is_same_v<T, float>) sf_writef_float(file, data.data(), frames);
    if constexpr (std::is_same_v<T, int32_t>) {
        std::vector<int32_t> scaled(data.size());
        for (size_t i = 0; i < data.size(); ++i) scaled[i] = static_cast<int32_t>(static_cast<uint32_t>(data[i]) << 8);
        sf_writef_int(file, scaled.data(), frames);
    }
    sf_close(file);
}
inline void WriteWav16(const std::string& path, const std::vector<int16_t>& data, int channels, int rate) {
    WriteWav(path, data, channels, rate);
}

// The twolame program's encoding of wav.
inline std::vector<uint8_t> TwolameReference(const std::string& wav, const std::vector<std::string>& options,
                                             const std::string& outPath) {
    std::vector<std::string> args{"twolame", "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {wav, outPath});
    const ProcessResult result = RunProcess(args);
    if (!result.Succeeded()) throw std::runtime_error("twolame failed: " + result.out);
    return ReadBytes(outPath);
}

struct FrameHeader {
    int version = 0, layer = 0, bitrate = 0, sampleRate = 0, mode = 0, emphasis = 0;
    bool crc = false, padding = false, copyright = false, original = false;
};
// nullopt unless the stream is an unbroken sequence of whole frames.
inline std::optional<std::vector<FrameHeader>> ParseFrames(const std::vector<uint8_t>& stream) {
    static const int kBitrates[2][16] = {{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
                                         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
    static const int kRates[2][4] = {{44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}};
    std::vector<FrameHeader> frames;
    for (size_t at = 0; at < stream.size();) {
        const uint8_t* b = stream.data() + at;
        if (stream.size() - at < 4 || b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return std::nullopt; // MPEG-1 or 2
        FrameHeader h{.version = (b[1] & 8) ? 1 : 2, .layer = 4 - ((b[1] >> 1) & 3)};
        h.bitrate = kBitrates[h.version - 1][b[2] >> 4];
        h.sampleRate = kRates[h.version - 1][(b[2] >> 2) & 3];
        h.mode = b[3] >> 6;
        h.emphasis = b[3] & 3;
        h.crc = (b[1] & 1) == 0;
        h.padding = (b[2] >> 1) & 1;
        h.copyright = (b[3] >> 3) & 1;
        h.original = (b[3] >> 2) & 1;
        const size_t length = h.sampleRate ? size_t(144 * 1000 * h.bitrate / h.sampleRate) + h.padding : 0;
        if (h.bitrate == 0 || length == 0 || stream.size() - at < length) return std::nullopt;
        frames.push_back(h);
        at += length;
    }
    return frames;
}

// Sample frames the mpg123 program decodes from the file, -1 when it fails.
inline int64_t DecodeWithMpg123(const std::string& path, int channels) {
    const std::string raw = path + ".raw";
    if (!RunProcess({"mpg123", "-q", "-o", "raw", "-a", raw, path}).Succeeded()) return -1;
    std::error_code error;
    const auto bytes = std::filesystem::file_size(raw, error);
    std::filesystem::remove(raw, error);
    return static_cast<int64_t>(bytes) / (2 * channels);
}

// Per-channel byte buffers from interleaved samples.
template <class T>
std::vector<std::vector<uint8_t>> Planar(const std::vector<T>& interleaved, int channels) {
    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    std::vector<std::vector<uint8_t>> planes(static_cast<size_t>(channels), std::vector<uint8_t>(frames * sizeof(T)));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            std::memcpy(planes[c].data() + i * sizeof(T), &interleaved[i * channels + c], sizeof(T));
    return planes;
}

// The real module, loaded with dlopen and started with selectors 0 and 1; selector 2 on exit.
class ModuleHost {
public:
    ModuleHost() : module_(SOVA_MODULE_PATH) {
        sink.echo = false;
        startResult_ = Call(kSelectorDescribePlugIn, nullptr, &registrar_);
        if (startResult_ == kResultOK) startResult_ = Call(kSelectorStartup, nullptr, nullptr);
    }
    ~ModuleHost() { Call(kSelectorShutdown, nullptr, nullptr); }
    int32_t Call(int32_t selector, void* handle, void* request) { return module_.Call(selector, handle, request); }
    int32_t StartResult() const { return startResult_; }
    sovahost::MessageSink sink;

    // Selectors 17, 18 and 19 one at a time.
    int32_t Open(const std::string& path, sovahost::AudioFormat& format, void*& handle,
                 std::u16string* description = nullptr) {
        sovahost::WriteOpenRequest open;
        open.sink = &sink;
        open.path = sovahost::FromUtf8(path);
        open.format = &format;
        const int32_t result = Call(kSelectorOpenForWrite, nullptr, &open);
        handle = open.writeHandle;
        if (description) *description = open.description;
        return result;
    }
    int32_t Write(void* handle, sovahost::AudioFormat& format, const std::vector<std::vector<uint8_t>>& channels,
                  int64_t firstFrame, int64_t frames) {
        sovahost::WriteRequest write;
        write.sink = &sink;
        write.format = &format;
        write.frameCount = frames;
        for (const auto& channel : channels)
            write.buffers.push_back(channel.data() + firstFrame * BytesPerSample(format.sampleFormat));
        return Call(kSelectorWriteSamples, handle, &write);
    }
    int32_t Close(void* handle) {
        sovahost::CloseRequest close;
        close.sink = &sink;
        return Call(kSelectorCloseWriter, handle, &close);
    }

    struct Save {
        int32_t conformResult = 0, openResult = 0, closeResult = 0;
        std::vector<int32_t> writeResults; // those that were not 0
        std::u16string openDescription;
        sovahost::AudioFormat format; // as negotiated
    };
    // Saves the channel buffers (raw bytes of sampleFormat) in blocks of `block` frames;
    // selector 14 first unless conform is false.
    Save SaveAudio(const std::string& path, int32_t rate, const std::string& settingsText, int32_t sampleFormat,
                   const std::vector<std::vector<uint8_t>>& channels, int64_t block, bool conform = true) {
        Save save;
        const int64_t frames = channels.empty() ? 0 : int64_t(channels[0].size()) / BytesPerSample(sampleFormat);
        save.format.sink = &sink;
        save.format.sampleRate = rate;
        save.format.channelCount = static_cast<int32_t>(channels.size());
        save.format.sampleFormat = sampleFormat;
        save.format.length = frames;
        save.format.settingsText = sovahost::FromUtf8(settingsText);
        if (conform) {
            sovahost::ConformRequest request;
            request.sink = &sink;
            request.format = &save.format;
            save.conformResult = Call(kSelectorConformWriteFormat, nullptr, &request);
        }
        void* handle = nullptr;
        save.openResult = Open(path, save.format, handle, &save.openDescription);
        if (save.openResult != kResultOK) return save;
        for (int64_t done = 0; done < frames; done += block)
            if (const int32_t result = Write(handle, save.format, channels, done, std::min(block, frames - done)))
                save.writeResults.push_back(result);
        save.closeResult = Close(handle);
        return save;
    }
private:
    sovahost::HostModule module_;
    sovahost::Registrar registrar_;
    int32_t startResult_ = 0;
};

// "Key:0:value;" entries.
inline std::string SettingsText(const std::vector<std::pair<std::string, int32_t>>& entries) {
    std::string text;
    for (const auto& [key, value] : entries) text += key + ":0:" + std::to_string(value) + ";";
    return text;
}
} // namespace writertest
