// SPDX-License-Identifier: MIT
// How fast ConvertToInt16 turns one second of stereo host audio into interleaved 16-bit, per
// sample format code, and what one call through SovaInterface costs (selector 13, a full
// Dispatch with its message-sink call and three host calls).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "RecordingHost.h" // LoadedModule
#include "interface/SovaInterfaceTemplate.h"

namespace {
struct AnyReader;
struct AnyWriter;
using Template = SovaInterfaceTemplate<AnyReader, AnyWriter>;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Converts a stereo block again and again for about `seconds`; returns frames per second.
double ConversionRate(int32_t code, double seconds) {
    constexpr int64_t kFrames = 16384;
    const int bytes = sova::sdk::BytesPerSample(code);
    std::vector<unsigned char> left(kFrames * bytes), right(kFrames * bytes);
    for (size_t i = 0; i < left.size(); ++i) left[i] = right[i] = static_cast<unsigned char>(i * 37);
    if (code == sova::sdk::kSampleFloat32)
        for (int64_t i = 0; i < kFrames; ++i) {
            const float v = static_cast<float>(std::sin(i * 0.01));
            std::memcpy(&left[i * 4], &v, 4);
            std::memcpy(&right[i * 4], &v, 4);
        }
    std::vector<int16_t> out(kFrames * 2);
    int64_t frames = 0;
    const auto start = Clock::now();
    while (SecondsSince(start) < seconds) {
        for (int repeat = 0; repeat < 16; ++repeat) {
            Template::ConvertToInt16(left.data(), out.data(), kFrames, 2, code);
            Template::ConvertToInt16(right.data(), out.data() + 1, kFrames, 2, code);
            frames += kFrames;
        }
    }
    volatile int16_t sink = out[kFrames];
    (void)sink;
    return frames / SecondsSince(start);
}

// A host format that only stores what it is told, so the timing is the module's.
struct PlainFormat final : sova::sdk::HostAudioFormat {
    using Protocol = sova::sdk::HostAudioFormat;
    sova::sdk::HostMessageSink* GetMessageSink() override { return nullptr; }
    int32_t GetSampleRate() override { return rate; }
    void SetSampleRate(int32_t hz) override { rate = hz; }
    int32_t GetSampleFormat() override { return code; }
    void SetSampleFormat(int32_t value) override { code = value; }
    int32_t GetChannelCount() override { return channels; }
    void SetChannelCount(int32_t count) override { channels = count; }
    int32_t GetChannelType(int32_t) override { return 0; }
    void SetChannelType(int32_t, int32_t) override {}
    const char16_t* GetSettingsText() override { return u""; }
    void SetSettingsText(const char16_t*) override {}
    void SetMimeType(const char*) override {}
    void SetTypeCode(uint32_t) override {}
    void SetLength(int64_t) override {}
    int64_t GetLength() override { return 0; }
    int32_t rate = 0, code = 0, channels = 0;
};
} // namespace

int main(int argc, char** argv) {
    double seconds = 1.0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);

    std::printf("ConvertToInt16, stereo, 16384-frame blocks:\n");
    for (int32_t code : {10, 20, 30, 40}) {
        const double rate = ConversionRate(code, seconds);
        std::printf("  code %d: %8.1f Mframes/s (%6.0fx real time at 44.1 kHz)\n", code, rate / 1e6, rate / 44100);
    }

    boundarytest::LoadedModule module(SOVA_MODULE_PATH);
    PlainFormat format;
    int64_t calls = 0;
    const auto start = Clock::now();
    while (SecondsSince(start) < seconds) {
        for (int repeat = 0; repeat < 1000; ++repeat)
            module.Call(sova::sdk::kSelectorGetPreferredWriteFormat, nullptr, &format);
        calls += 1000;
    }
    std::printf("SovaInterface, selector 13: %.0f ns per call\n", SecondsSince(start) / calls * 1e9);
}
