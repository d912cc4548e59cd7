// The encoder object itself, on the real TwoLAME library: validation, the output buffer's
// growth and the stream life cycle that the interface operations hide.
#include <filesystem>

#include <gtest/gtest.h>

#include "codecs/TwoLameLibrary.h"
#include "writer/TwoLameEncoder.h"
#include "WriterTestSupport.h"

namespace writertest {
namespace {
namespace fs = std::filesystem;

class WriterInternals : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(sova::TwoLameLibrary::Bind()) << "libtwolame missing"; }
    static void TearDownTestSuite() { sova::TwoLameLibrary::UnloadIfLoaded(); }
    TempDir dir;
};

TEST_F(WriterInternals, ValidationFollowsWhatTwoLameAccepts) {
    sova::TwoLameEncoder encoder;
    sova::EncoderSettings settings;
    EXPECT_TRUE(encoder.ValidateSettings(44100, 2, settings));
    settings.SetBitsPerSecond(8); // not an MPEG-1 bitrate
    EXPECT_FALSE(encoder.ValidateSettings(44100, 2, settings));
    settings.SetBitsPerSecond(192);
    EXPECT_FALSE(encoder.ValidateSettings(11025, 2, settings)) << "not an MPEG rate";
    settings.SetChannelMode(7); // refused by its setter; the later calls still run
    EXPECT_FALSE(encoder.ValidateSettings(44100, 2, settings));
    settings.SetChannelMode(-1);
    settings.SetEmphasisType(2); // the reserved emphasis value
    EXPECT_FALSE(encoder.ValidateSettings(44100, 2, settings));
    settings.SetEmphasisType(0);
    EXPECT_TRUE(encoder.ValidateSettings(44100, 2, settings));

    // The MPEG version is only descriptive: a record that disagrees with the rate still configures.
    sova::EncoderSettings mismatched;
    mismatched.SetMPEGVersion(0);
    int32_t errorCode = -1;
    auto writer = sova::CreateWriter(sovahost::FromUtf8(dir.File("a.mp2")), 44100, 2, mismatched, errorCode);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(errorCode, 0);
    EXPECT_EQ(writer->NumChannels(), 2);

    sova::EncoderSettings refused;
    refused.SetBitsPerSecond(8);
    EXPECT_EQ(sova::CreateWriter(sovahost::FromUtf8(dir.File("b.mp2")), 44100, 2, refused, errorCode), nullptr);
    EXPECT_EQ(errorCode, 1);
    EXPECT_TRUE(fs::exists(dir.File("b.mp2")));
    EXPECT_EQ(sova::CreateWriter(sovahost::FromUtf8(dir.File("none/c.mp2")), 44100, 2, settings, errorCode), nullptr);
    EXPECT_EQ(errorCode, 2);
}

TEST_F(WriterInternals, OutputBufferGrowsToTheLargestBlockAndStreamsOpenAtTheFirstBytes) {
    int32_t errorCode = -1;
    const std::string path = dir.File("grow.mp2");
    auto writer = sova::CreateWriter(sovahost::FromUtf8(path), 44100, 2, sova::EncoderSettings{}, errorCode);
    ASSERT_NE(writer, nullptr);
    const auto& state = writer->State();
    EXPECT_EQ(state.outputBuffer.size(), 16384u);
    ASSERT_NE(state.bufferedStream, nullptr) << "the file is opened with its streams";
    writer->ReleaseStreams();
    EXPECT_EQ(state.bufferedStream, nullptr);
    EXPECT_EQ(state.platformStream, nullptr);
    ASSERT_NE(state.file, nullptr);

    const std::vector<int16_t> audio = TestSignal(20000, 2, 44100);
    ASSERT_TRUE(writer->EncodeBlock(audio.data(), 1000));
    EXPECT_EQ(state.outputBuffer.size(), 16384u);
    EXPECT_EQ(state.bufferedStream, nullptr) << "nothing encoded yet, nothing reopened";
    ASSERT_TRUE(writer->EncodeBlock(audio.data() + 2000, 5000));
    EXPECT_EQ(state.outputBuffer.size(), 20000u); // 4 bytes per stereo frame
    EXPECT_NE(state.bufferedStream, nullptr);
    ASSERT_TRUE(writer->EncodeBlock(audio.data() + 12000, 1000));
    EXPECT_EQ(state.outputBuffer.size(), 20000u) << "the buffer never shrinks";
    EXPECT_EQ(fs::file_size(path), 0u) << "encoded bytes wait in the 1 MiB stream buffer";
    EXPECT_TRUE(writer->Finish());
    EXPECT_EQ(state.bufferedStream, nullptr);
    const auto frames = ParseFrames(ReadBytes(path));
    ASSERT_TRUE(frames.has_value());
    EXPECT_EQ(frames->size(), (7000u + 1151u) / 1152u);
}
} // namespace
} // namespace writertest
