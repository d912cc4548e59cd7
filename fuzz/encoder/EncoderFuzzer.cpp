// SPDX-License-Identifier: MIT
// Fuzzes the encoder's configuration through the module's entry, as a host saves a file: a
// settings text, a sample rate and a channel count open a writer (selector 17), a few blocks
// are encoded (selector 18) and the writer is finished (selector 19). Settings that TwoLAME
// cannot encode with must be refused at selector 17 with the failure message; a writer that
// was handed over must encode and finish without an error.
//
// Input: byte 0 picks the sample rate, byte 1 the channel count, byte 2 the block length,
// byte 3 the signal and its sample format; the rest is the settings text, one byte per
// UTF-16 code unit.
#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <sova/Sdk.h>

#include "module/HostObjects.h"
#include "ModuleFuzzing.h"

namespace {
constexpr std::array<int32_t, 16> kSampleRates = {16000, 22050, 24000, 32000, 44100, 48000, 8000,  11025,
                                                  12000, 96000, 44101, 0,     1,     -44100, 192000, 2147483647};
constexpr std::array<int32_t, 6> kChannelCounts = {1, 2, 0, 3, 6, -1};
constexpr std::array<int32_t, 4> kSampleFormats = {sova::sdk::kSampleUInt8, sova::sdk::kSampleInt16,
                                                   sova::sdk::kSampleInt24, sova::sdk::kSampleFloat32};
constexpr int kBlocks = 3;
constexpr size_t kHeaderBytes = 4;

using fuzzsupport::Check;
std::string gPath;

// One channel of one block in the host's sample format. Signals: silence, noise, full-scale
// square, a sine, and (float only) values beyond full scale, NaN and infinities.
std::vector<uint8_t> MakeChannel(int signal, int32_t format, int64_t frames, int32_t channel, uint32_t& noise) {
    const size_t width = format == sova::sdk::kSampleUInt8 ? 1 : format == sova::sdk::kSampleInt16 ? 2
                         : format == sova::sdk::kSampleInt24 ? 3 : 4;
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * width);
    for (int64_t i = 0; i < frames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        double value = 0; // -1 .. 1
        switch (signal) {
        case 1: value = static_cast<double>(noise >> 8) / 8388608.0 - 1.0; break;
        case 2: value = (i / (7 + channel)) % 2 ? 1.0 : -1.0; break;
        case 3: value = 0.5 * std::sin(0.0627 * static_cast<double>(i) * (channel + 1)); break;
        case 4: value = (noise >> 30) == 0 ? std::numeric_limits<double>::quiet_NaN()
                        : (noise >> 30) == 1 ? std::numeric_limits<double>::infinity()
                        : (noise >> 30) == 2 ? -1e30 : 3.0;
            break;
        default: break;
        }
        uint8_t* at = bytes.data() + static_cast<size_t>(i) * width;
        if (format == sova::sdk::kSampleFloat32) {
            const float sample = static_cast<float>(value);
            std::memcpy(at, &sample, 4);
            continue;
        }
        const double clipped = std::isfinite(value) ? std::fmax(-1.0, std::fmin(value, 1.0)) : 0.0;
        const auto scaled = static_cast<int32_t>(clipped * (width == 3 ? 8388607.0 : 32767.0));
        if (width == 1) at[0] = static_cast<uint8_t>(128 + scaled / 256);
        else if (width == 2) {
            const auto sample = static_cast<int16_t>(scaled);
            std::memcpy(at, &sample, 2);
        } else for (size_t b = 0; b < 3; ++b) at[b] = static_cast<uint8_t>(static_cast<uint32_t>(scaled) >> (8 * b));
    }
    return bytes;
}

off_t FileSize() {
    struct stat status {};
    return stat(gPath.c_str(), &status) == 0 ? status.st_size : -1;
}

// True when the file starts with an MPEG audio frame header (sync, Layer II).
bool StartsWithLayerIIFrame() {
    FILE* file = std::fopen(gPath.c_str(), "rb");
    if (!file) return false;
    uint8_t header[2] = {};
    const bool read = std::fread(header, 1, 2, file) == 2;
    std::fclose(file);
    return read && header[0] == 0xFF && (header[1] & 0xE0) == 0xE0 && ((header[1] >> 1) & 3) == 2;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gPath = fuzzsupport::ScratchFile("encoder-fuzz");
    fuzzsupport::StartModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderBytes) return 0;
    sovahost::AudioFormat format;
    format.sampleRate = kSampleRates[data[0] % kSampleRates.size()];
    format.channelCount = kChannelCounts[data[1] % kChannelCounts.size()];
    const int64_t blockFrames = 1 + static_cast<int64_t>(data[2]) * 9; // 1 to 2296
    const int signal = data[3] % 5;
    format.sampleFormat = signal == 4 ? sova::sdk::kSampleFloat32 : kSampleFormats[(data[3] / 5) % 4];
    format.settingsText.assign(data + kHeaderBytes, data + size);

    sovahost::MessageSink sink;
    sink.echo = false;
    sovahost::WriteOpenRequest open;
    open.sink = &sink;
    open.format = &format;
    open.path = sovahost::FromUtf8(gPath);
    const int32_t opened = SovaInterface(sova::sdk::kSelectorOpenForWrite, nullptr, &open);
    if (opened != 0) {
        Check(opened == -1 && open.writeHandle == nullptr, "a failed open answered oddly or handed a writer over");
        Check(sink.messages.size() == 1 && sink.messages[0].starts_with(u"Error "), "a failed open showed no message");
        return 0;
    }
    Check(open.writeHandle != nullptr && sink.messages.empty(), "an open writer was not handed over cleanly");
    Check(format.channelCount >= 1 && format.channelCount <= 2, "a writer was opened for an odd channel count");

    uint32_t noise = data[0] * 7919u + data[1] * 104729u + data[2];
    int64_t framesSent = 0;
    for (int block = 0; block < kBlocks; ++block) {
        std::vector<std::vector<uint8_t>> channels;
        for (int32_t c = 0; c < format.channelCount; ++c)
            channels.push_back(MakeChannel(signal, format.sampleFormat, blockFrames, c, noise));
        sovahost::WriteRequest write;
        write.format = &format;
        write.frameCount = blockFrames;
        for (const auto& channel : channels) write.buffers.push_back(channel.data());
        Check(SovaInterface(sova::sdk::kSelectorWriteSamples, open.writeHandle, &write) == 0,
              "an accepted configuration failed to encode a block");
        framesSent += blockFrames;
    }
    sovahost::CloseRequest close;
    Check(SovaInterface(sova::sdk::kSelectorCloseWriter, open.writeHandle, &close) == 0,
          "an accepted configuration failed to flush");
    Check(sink.messages.empty(), "encoding showed a message");
    Check(FileSize() > 0 || framesSent == 0, "nothing was written for the blocks encoded");
    Check(FileSize() == 0 || StartsWithLayerIIFrame(), "the file does not start with a Layer II frame");
    return 0;
}
