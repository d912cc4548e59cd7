// SPDX-License-Identifier: MIT
// The loudness meter on its own: the highest momentary and short-term levels against the levels
// ffmpeg's ebur128 filter logs every 100 ms, and the same figures whatever the size of the
// pieces the samples come in.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/AudioSource.h"
#include "host/Loudness.h"
#include "host/LoudnessScan.h"
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

LoudnessFacts MeasureInPieces(const std::string& path, int64_t piece) {
    AudioSource source(path, path);
    std::vector<float> samples(static_cast<size_t>(source.Frames() * source.Channels()));
    const int64_t frames = source.ReadFloat(samples.data(), source.Frames());
    LoudnessMeter meter(source.Rate(), source.Channels());
    for (int64_t at = 0; at < frames; at += piece)
        meter.Add(samples.data() + at * source.Channels(), std::min(piece, frames - at));
    return meter.Facts();
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
} // namespace
