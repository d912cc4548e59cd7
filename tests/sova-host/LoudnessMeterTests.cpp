// SPDX-License-Identifier: MIT
// The loudness meter on its own: the highest momentary and short-term levels against the levels
// ffmpeg's ebur128 filter logs every 100 ms, the same figures whatever the size of the pieces the
// samples come in, the fast integrated meter of the measuring pass against libebur128 on every
// channel count, and the true-peak meter started mid-stream. (The meter on two threads:
// tests/threads.)
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/AudioSource.h"
#include "host/Loudness.h"
#include "host/LoudnessScan.h"
#include "host/TruePeak.h"
#include "Process.h"

namespace {
using sovahost::AudioSource;
using sovahost::LoudnessFacts;
using sovahost::LoudnessMeter;

struct Scratch {
    Scratch() {
        char pattern[] = "/tmp/sova-loudness-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        folder = pattern;
    }
    ~Scratch() { std::filesystem::remove_all(folder); }
    std::string File(const std::string& name) const { return folder + "/" + name; }
    std::string folder;
};

// Speech-like bursts in stereo at 44.1 kHz: loud and soft stretches, pauses between them.
std::string MakeBursts(const Scratch& scratch) {
    const std::string path = scratch.File("bursts.wav");
    const auto run = testsupport::RunShell(
        "ffmpeg -nostdin -v error -y -f lavfi -i \"aevalsrc='(random(0)*2-1)*0.6*gt(sin(2*PI*0.5*t),0.2)"
        "*(0.2+0.8*abs(sin(2*PI*0.07*t)))':s=44100:d=20\" -ac 2 -c:a pcm_s24le '" + path + "'");
    if (!run.Succeeded()) throw std::runtime_error("ffmpeg failed: " + run.err);
    return path;
}

// The highest of each level ffmpeg logs every 100 ms ("M: -22.0 S: -23.1").
std::pair<double, double> FfmpegHighestLevels(const std::string& path) {
    const auto run = testsupport::RunShell("ffmpeg -nostdin -hide_banner -nostats -v verbose -i '" + path +
                                           "' -filter_complex ebur128 -f null - 2>&1");
    if (!run.Succeeded()) throw std::runtime_error("ffmpeg ebur128 failed: " + run.out);
    const std::regex pattern(R"(t: *([0-9.]+) .*M: *(-?[0-9.]+) S: *(-?[0-9.]+))");
    double momentary = -HUGE_VAL, shortTerm = -HUGE_VAL;
    for (auto match = std::sregex_iterator(run.out.begin(), run.out.end(), pattern); match != std::sregex_iterator(); ++match) {
        const double at = std::stod((*match)[1]);
        if (at >= 0.4) momentary = std::max(momentary, std::stod((*match)[2]));
        if (at >= 3.0) shortTerm = std::max(shortTerm, std::stod((*match)[3]));
    }
    return {momentary, shortTerm};
}

LoudnessFacts MeasureInPieces(const std::vector<float>& samples, int32_t rate, int32_t channels, int64_t piece,
                              LoudnessMeter::Measures measures = LoudnessMeter::Measures::All,
                              LoudnessMeter::Threads threads = LoudnessMeter::Threads::One) {
    const auto frames = static_cast<int64_t>(samples.size()) / channels;
    LoudnessMeter meter(rate, channels, measures, threads);
    for (int64_t at = 0; at < frames; at += piece) meter.Add(samples.data() + at * channels, std::min(piece, frames - at));
    return meter.Facts();
}

LoudnessFacts MeasureInPieces(const std::string& path, int64_t piece) {
    AudioSource source(path, path);
    std::vector<float> samples(static_cast<size_t>(source.Frames() * source.Channels()));
    samples.resize(static_cast<size_t>(source.ReadFloat(samples.data(), source.Frames()) * source.Channels()));
    return MeasureInPieces(samples, source.Rate(), source.Channels(), piece);
}

// Noise whose channels differ in level and whose loudness moves: loud, soft (under the relative
// gate), silent (under the absolute gate) and loud again, so both gates and every weight count.
std::vector<float> GatedNoise(int32_t rate, int32_t channels, double seconds) {
    std::mt19937 random(static_cast<unsigned>(rate + channels));
    std::normal_distribution<float> noise(0.0f, 1.0f);
    const auto frames = static_cast<int64_t>(seconds * rate);
    std::vector<float> samples(static_cast<size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i) {
        const double part = static_cast<double>(i) / static_cast<double>(frames);
        const float level = part < 0.4 ? 0.2f : part < 0.6 ? 0.01f : part < 0.7 ? 0.0f : 0.3f;
        for (int32_t c = 0; c < channels; ++c)
            samples[static_cast<size_t>(i * channels + c)] = level * noise(random) / static_cast<float>(1 + c);
    }
    return samples;
}

TEST(LoudnessMeter, HighestMomentaryAndShortTermLevelsMatchFfmpegInPiecesOfAnySize) {
    const Scratch scratch;
    const std::string path = MakeBursts(scratch);
    const LoudnessFacts whole = MeasureInPieces(path, int64_t(1) << 30);
    const auto [momentary, shortTerm] = FfmpegHighestLevels(path);
    ASSERT_TRUE(whole.maxMomentaryLufs && whole.maxShortTermLufs);
    EXPECT_NEAR(*whole.maxMomentaryLufs, momentary, 0.3);
    EXPECT_NEAR(*whole.maxShortTermLufs, shortTerm, 0.3);
    for (const int64_t piece : {int64_t(1), int64_t(4409), int64_t(4410), int64_t(65536)}) {
        SCOPED_TRACE(piece);
        const LoudnessFacts pieces = MeasureInPieces(path, piece);
        EXPECT_EQ(pieces.integratedLufs, whole.integratedLufs);
        EXPECT_EQ(pieces.rangeLu, whole.rangeLu);
        EXPECT_EQ(pieces.maxMomentaryLufs, whole.maxMomentaryLufs);
        EXPECT_EQ(pieces.maxShortTermLufs, whole.maxShortTermLufs);
        EXPECT_EQ(pieces.truePeakDbtp, whole.truePeakDbtp);
    }
}

// The measuring pass of encode --loudness uses its own integrated meter: it must give what
// libebur128 gives, on every channel count the meter takes (the weights of surrounds and LFE) and
// at rates whose 100 ms step is not a whole number of samples.
TEST(LoudnessMeter, FastIntegratedLoudnessAgreesWithLibebur128) {
    using Measures = LoudnessMeter::Measures;
    for (const auto& [rate, channels] : std::vector<std::pair<int32_t, int32_t>>{
             {48000, 1}, {44100, 2}, {32000, 3}, {22050, 4}, {48000, 5}, {11025, 6}, {16000, 7}, {96000, 8}}) {
        SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
        const std::vector<float> samples = GatedNoise(rate, channels, 12.0);
        const LoudnessFacts reference = MeasureInPieces(samples, rate, channels, 4096);
        for (const auto threads : {LoudnessMeter::Threads::One, LoudnessMeter::Threads::Two}) {
            const LoudnessFacts fast = MeasureInPieces(samples, rate, channels, 1000, Measures::IntegratedAndPeaks, threads);
            ASSERT_TRUE(reference.integratedLufs && fast.integratedLufs);
            EXPECT_NEAR(*fast.integratedLufs, *reference.integratedLufs, 1e-6);
            EXPECT_EQ(fast.truePeakDbtp, reference.truePeakDbtp);
            EXPECT_EQ(fast.samplePeakDbfs, reference.samplePeakDbfs);
            EXPECT_FALSE(fast.rangeLu || fast.maxMomentaryLufs || fast.maxShortTermLufs); // not measured
        }
    }
    // Silence and a stream shorter than one 400 ms block have no loudness, in both meters.
    for (const size_t frames : {size_t(48000), size_t(19199)}) {
        std::vector<float> quiet(frames * 2, frames == 48000 ? 0.0f : 0.5f);
        EXPECT_FALSE(MeasureInPieces(quiet, 48000, 2, 4096).integratedLufs);
        EXPECT_FALSE(MeasureInPieces(quiet, 48000, 2, 4096, Measures::IntegratedAndPeaks).integratedLufs);
    }
}

// Two meters, the second started at a split and primed with the samples before it, find between
// them what one run finds, also where the highest value lies between the last sample before the
// split and the first after (the second meter's first values reach back across it).
TEST(TruePeak, PrimedMeterFindsWhatOneRunFinds) {
    constexpr int64_t kFrames = 4096, kSplit = 2000;
    std::vector<float> samples(2 * kFrames, 0.0f);
    for (int64_t i = kSplit - 3; i < kSplit + 3; ++i) // a burst across the split, loudest between samples
        for (int c = 0; c < 2; ++c) samples[static_cast<size_t>(2 * i + c)] = (i % 2 ? 0.7f : -0.7f) * (c ? 0.5f : 1.0f);
    sovahost::TruePeak whole(48000, 2), before(48000, 2);
    whole.Add(samples.data(), kFrames);
    before.Add(samples.data(), kSplit);
    ASSERT_GT(whole.Peak(), 0.75); // over the samples: the peak is between them

    sovahost::TruePeak primed(48000, 2), unprimed(48000, 2);
    primed.Prime(samples.data(), kSplit);
    primed.Add(samples.data() + 2 * kSplit, kFrames - kSplit);
    unprimed.Add(samples.data() + 2 * kSplit, kFrames - kSplit);
    EXPECT_EQ(std::max(before.Peak(), primed.Peak()), whole.Peak());
    EXPECT_EQ(std::max(before.SamplePeak(), primed.SamplePeak()), whole.SamplePeak());
    EXPECT_LT(std::max(before.Peak(), unprimed.Peak()), whole.Peak()); // what priming is for
}
} // namespace
