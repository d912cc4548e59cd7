// SPDX-License-Identifier: MIT
// The loudness meter's own thread (SampleBatchThread): the samples worked on in the order given, a
// failure on the thread handed back to the caller, and the same figures from a meter on two
// threads as from one. The suite runs these under ThreadSanitizer too.
#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/Loudness.h"
#include "host/SampleBatchThread.h"

namespace {
using sovahost::LoudnessFacts;
using sovahost::LoudnessMeter;

LoudnessFacts Measure(const std::vector<float>& samples, int32_t channels, int64_t piece, LoudnessMeter::Measures measures,
                      LoudnessMeter::Threads threads) {
    const auto frames = static_cast<int64_t>(samples.size()) / channels;
    LoudnessMeter meter(44100, channels, measures, threads);
    for (int64_t at = 0; at < frames; at += piece) meter.Add(samples.data() + at * channels, std::min(piece, frames - at));
    return meter.Facts();
}

TEST(LoudnessMeter, SecondThreadGivesTheSameFigures) {
    // Noise in bursts, 8 s of stereo: every figure has something to measure.
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.2f);
    std::vector<float> samples(2 * 44100 * 8);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = noise(random) * ((i / 30000) % 3 == 0 ? 0.1f : 1.0f);
    for (const auto measures : {LoudnessMeter::Measures::All, LoudnessMeter::Measures::IntegratedAndPeaks}) {
        const LoudnessFacts one = Measure(samples, 2, 4410, measures, LoudnessMeter::Threads::One);
        ASSERT_TRUE(one.integratedLufs);
        for (const int64_t piece : {int64_t(1000), int64_t(65536), int64_t(1) << 30}) {
            SCOPED_TRACE(piece);
            const LoudnessFacts two = Measure(samples, 2, piece, measures, LoudnessMeter::Threads::Two);
            EXPECT_EQ(two.integratedLufs, one.integratedLufs);
            EXPECT_EQ(two.rangeLu, one.rangeLu);
            EXPECT_EQ(two.maxMomentaryLufs, one.maxMomentaryLufs);
            EXPECT_EQ(two.maxShortTermLufs, one.maxShortTermLufs);
            EXPECT_EQ(two.truePeakDbtp, one.truePeakDbtp);
            EXPECT_EQ(two.samplePeakDbfs, one.samplePeakDbfs);
        }
    }
}

TEST(SampleBatchThread, WorksInOrderAndHandsBackWhatTheWorkThrows) {
    std::vector<float> seen;
    std::vector<float> samples(300000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<float>(i);
    {
        sovahost::SampleBatchThread thread(3, [&seen](const float* interleaved, int64_t frames) {
            seen.insert(seen.end(), interleaved, interleaved + frames * 3);
        });
        for (size_t at = 0; at < samples.size(); at += 3 * 7001)
            thread.Add(samples.data() + at, static_cast<int64_t>(std::min<size_t>(3 * 7001, samples.size() - at) / 3));
        thread.Finish();
    }
    EXPECT_EQ(seen, samples);

    // A failure on the thread reaches the caller, on a later Add or at the latest on Finish.
    sovahost::SampleBatchThread failing(1, [](const float*, int64_t) { throw std::runtime_error("out of blocks"); });
    EXPECT_THROW(
        {
            for (int i = 0; i < 100; ++i) failing.Add(samples.data(), 100000);
            failing.Finish();
        },
        std::runtime_error);

    // Going away with batches still waiting neither hangs nor works on them all.
    int worked = 0;
    {
        sovahost::SampleBatchThread slow(1, [&worked](const float*, int64_t) {
            ++worked;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });
        for (int i = 0; i < 4; ++i) slow.Add(samples.data(), 100000);
    }
    EXPECT_LT(worked, 6);
}
} // namespace
