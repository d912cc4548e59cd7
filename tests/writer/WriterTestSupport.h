// What the writer tests share: generated audio, WAV files, child processes (the twolame and
// mpg123 programs, sova-host), MPEG frame headers, and a host that drives the real module
// through SovaInterface with the save sequence 13, 14, 17, 18..., 19.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HostModule.h"
#include "HostObjects.h"

namespace writertest {
// A fresh folder below /tmp, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

struct ProcessResult {
    int status = -1;    // as from waitpid
    std::string output; // stdout and stderr together
    bool Succeeded() const;
    int ExitCode() const; // -1 when the process did not exit normally
};
// Runs a program with its output captured. inChild runs in the child before exec.
ProcessResult RunProcess(const std::vector<std::string>& args, const std::function<void()>& inChild = {});

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Interleaved 16-bit audio: a different chord of sines per channel with a little noise and a
// few full-scale peaks, the same for the same arguments.
std::vector<int16_t> TestSignal(int64_t frames, int channels, int rate);
// sndfileFormat: SF_FORMAT_PCM_16, SF_FORMAT_PCM_24 (samples as int, 24-bit values in the
// low bits) or SF_FORMAT_FLOAT; always a WAV file.
// container: a libsndfile major format (SF_FORMAT_FLAC, SF_FORMAT_AIFF...); 0 for WAV.
void WriteWav16(const std::string& path, const std::vector<int16_t>& interleaved, int channels, int rate,
                int container = 0);
void WriteWav24(const std::string& path, const std::vector<int32_t>& interleaved24, int channels, int rate);
void WriteWavFloat(const std::string& path, const std::vector<float>& interleaved, int channels, int rate);

// The twolame program's encoding of wav with the given options.
std::vector<uint8_t> TwolameReference(const std::string& wav, const std::vector<std::string>& options,
                                      const std::string& outPath);

struct FrameHeader {
    int version = 0;     // 1 = MPEG-1, 2 = MPEG-2 LSF
    int layer = 0;
    bool crc = false;
    int bitrate = 0;     // kbit/s
    int sampleRate = 0;
    bool padding = false;
    int mode = 0;        // 0 stereo, 1 joint, 2 dual, 3 mono
    bool copyright = false;
    bool original = false;
    int emphasis = 0;    // 0 none, 1 50/15, 3 CCITT
    size_t length = 0;   // bytes of the frame
};
// Walks the stream frame by frame; nullopt when a frame does not start where the previous
// one ended or the stream ends inside a frame.
std::optional<std::vector<FrameHeader>> ParseFrames(const std::vector<uint8_t>& stream);

// Sample frames that the mpg123 program decodes from the file, or -1 when it fails.
int64_t DecodeWithMpg123(const std::string& path, int channels);

// Per-channel byte buffers from interleaved samples of any size.
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
    ModuleHost();
    ~ModuleHost();
    int32_t Call(int32_t selector, void* handle, void* request) { return module_.Call(selector, handle, request); }
    int32_t StartResult() const { return startResult_; }
    sovahost::MessageSink sink;

    struct Save {
        int32_t conformResult = 0;
        int32_t openResult = 0;
        std::vector<int32_t> writeResults; // those that were not 0
        int32_t closeResult = 0;
        std::u16string openDescription;
        sovahost::AudioFormat format;      // as negotiated
    };
    // Saves the channel buffers (raw bytes in the layout of sampleFormat) to path in blocks of
    // `block` frames. Selector 14 runs first unless conform is false.
    Save SaveAudio(const std::string& path, int32_t rate, const std::string& settingsText, int32_t sampleFormat,
                   const std::vector<std::vector<uint8_t>>& channels, int64_t block, bool conform = true);
private:
    sovahost::HostModule module_;
    sovahost::Registrar registrar_;
    int32_t startResult_ = 0;
};

// "Key:0:value;" entries.
std::string SettingsText(const std::vector<std::pair<std::string, int32_t>>& entries);
int32_t FloatBits(float value);
} // namespace writertest
