// Every sample file decodes through the module to exactly what the mpg123 program writes,
// whatever the number of frames the host asks for per call, and the end of the stream shows
// the way the host expects: the length on the call that empties the reader, then -9.
#include <gtest/gtest.h>

#include <cstring>

#include "ReaderHost.h"
#include "TestMedia.h"

namespace readertest {
namespace {
class DecodesLikeMpg123 : public ::testing::TestWithParam<Sample> {};

TEST_P(DecodesLikeMpg123, AtEveryBlockSize) {
    const std::filesystem::path file = MakeSample(GetParam());
    const std::vector<float> reference = ReferenceSamples(file);
    ASSERT_FALSE(reference.empty());

    sovahost::StartedModule module(ModuleOptions());
    ASSERT_EQ(module.StartResult(), 0);
    for (const int32_t block : {1, 1000, 1152, 4096, 100000}) {
        SCOPED_TRACE("frames per call: " + std::to_string(block));
        const Decoded decoded = DecodeAll(module, file, block);
        ASSERT_EQ(decoded.samples.size(), reference.size());
        // Bit for bit: the module hands over the decoder's floats untouched.
        EXPECT_EQ(std::memcmp(decoded.samples.data(), reference.data(), reference.size() * sizeof(float)), 0);
        EXPECT_FALSE(decoded.zeroFrameCallAnswered);

        const int64_t channels = GetParam() == Sample::Mono ? 1 : 2;
        const int64_t frames = static_cast<int64_t>(reference.size()) / channels;
        EXPECT_LE(decoded.lengthReports, 1);
        if (decoded.lengthReports == 1) {
            EXPECT_TRUE(decoded.lengthOnLastCall);
            EXPECT_EQ(decoded.reportedLength, frames);
        }
        // A last call that got fewer frames than it asked for met the end of the stream, so it
        // must have reported the length. (When the frames divide evenly, the last call may be
        // served from frames decoded earlier, before the decoder has said it is done.)
        if (frames % block != 0) {
            EXPECT_EQ(decoded.lengthReports, 1);
        }
        EXPECT_EQ(decoded.resultAfterEnd, -9);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, DecodesLikeMpg123, ::testing::ValuesIn(kAllDecodable),
                         [](const ::testing::TestParamInfo<Sample>& info) { return SampleName(info.param); });

TEST(ReaderEnd, CallsAfterTheEndKeepAnsweringMinusNine) {
    sovahost::StartedModule module(ModuleOptions());
    sovahost::ReadSession session(module, MakeSample(Sample::Short).string());
    ASSERT_EQ(session.Open(), 0);
    int32_t result = 0;
    int64_t total = 0;
    while ((result = session.Read(100000)) == 0) total += session.FramesDone();
    EXPECT_EQ(result, -9);
    EXPECT_EQ(total, 2 * 1152); // 0.05 s at 44100 Hz fills two Layer II frames
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(session.Read(1), -9);
        EXPECT_EQ(session.FramesDone(), 0);
    }
}

TEST(ReaderEnd, ZeroFramesDeliversNothingAndLosesNothing) {
    const std::filesystem::path file = MakeSample(Sample::Stereo);
    const std::vector<float> reference = ReferenceSamples(file);
    sovahost::StartedModule module(ModuleOptions());
    sovahost::ReadSession session(module, file.string());
    ASSERT_EQ(session.Open(), 0);
    EXPECT_EQ(session.Read(0), -9);
    EXPECT_EQ(session.FramesDone(), 0);
    ASSERT_EQ(session.Read(3), 0);
    ASSERT_EQ(session.FramesDone(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(session.Channel(0)[i], reference[2 * i]);
        EXPECT_EQ(session.Channel(1)[i], reference[2 * i + 1]);
    }
    EXPECT_EQ(session.Read(0), -9);
    ASSERT_EQ(session.Read(1), 0);
    EXPECT_EQ(session.Channel(0)[0], reference[6]);
    EXPECT_EQ(session.Channel(1)[0], reference[7]);
}
} // namespace
} // namespace readertest
