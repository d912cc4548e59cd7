// SPDX-License-Identifier: MIT
// The samples a loudness measurement sees are the ones the module is handed: each sample format
// code read back from the buffers SampleFeed fills, on a real WAV file of every precision.
#include <sndfile.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/AudioSource.h"
#include "host/HandedSamples.h"
#include "host/SampleFeed.h"

namespace sovahost {
namespace {
TEST(HandedSamples, EveryCodeReadsBackAsTheSourcesSamples) {
    char folder[] = "/tmp/sova-handed-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/ramp.wav";
    // Stereo, 24-bit: full-scale negative and positive, small values of both signs, silence.
    const std::vector<float> frames = {-1.0f, 0.999f, -0.25f, 0.25f, -1e-4f, 1e-4f, 0.0f, 0.5f};
    SF_INFO info{0, 48000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(frames.size() / 2));
    sf_close(file);

    // (code, two steps of its precision, or of the file's 24 bits: scaling by 2^n or 2^n - 1)
    for (const auto& [code, tolerance] : std::vector<std::pair<int32_t, float>>{{10, 2.0f / 128}, {20, 2.0f / 32768},
                                                                                 {30, 2.0f / 8388608}, {40, 2.0f / 8388608}}) {
        SCOPED_TRACE(code);
        AudioSource source(path, path);
        SampleFeed feed(source, 48000, 2, code);
        ASSERT_EQ(feed.Code(), code);
        std::vector<std::vector<uint8_t>> buffers;
        std::vector<float> seen;
        feed.Observe([&](const std::vector<std::vector<uint8_t>>& delivered, int64_t count, int32_t deliveredCode) {
            std::vector<float> block;
            InterleavedFloat(delivered, count, deliveredCode, block);
            seen.insert(seen.end(), block.begin(), block.end());
        });
        while (feed.Read(3, buffers) > 0) {
        }
        ASSERT_EQ(seen.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) EXPECT_NEAR(seen[i], frames[i], tolerance) << i;
    }
    std::filesystem::remove_all(folder);
}
} // namespace
} // namespace sovahost
