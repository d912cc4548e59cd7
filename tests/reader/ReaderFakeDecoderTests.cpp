// The reader over a stand-in libmpg123 (fake_mpg123_stream.c) whose files describe the stream
// it pretends to decode: what real files cannot show, such as unknown versions and layers,
// bitrate modes, streams without a bitrate, and decoder errors while priming or reading.
#include <gtest/gtest.h>

#include "ReaderHost.h"
#include "TestMedia.h"

namespace readertest {
namespace {
namespace fs = std::filesystem;

class FakeDecoder : public ::testing::Test {
protected:
    static sovahost::HostOptions Options() {
        sovahost::HostOptions options = ModuleOptions();
        options.codecFolders = {SOVA_FAKE_MPG123_FOLDER}; // TwoLAME still comes from the system
        return options;
    }
    fs::path Stream(const std::string& words) {
        const fs::path file = WorkFolder() / ("stream" + std::to_string(++count_) + ".mp2");
        const std::string text = words + "\n";
        WriteAll(file, std::vector<char>(text.begin(), text.end()));
        return file;
    }
    sovahost::StartedModule module{Options()};
private:
    int count_ = 0;
};

float Expected(int64_t frame, int32_t channel) { return static_cast<float>(frame) * 1e-4f + static_cast<float>(channel); }

TEST_F(FakeDecoder, DescribesUnnamedVersionsLayersAndBitrateModes) {
    ASSERT_EQ(module.StartResult(), 0);
    const std::vector<std::pair<std::string, std::string>> table = {
        {"version=5 layer=4", "MPEG-5 Audio Layer 4, 192 kbps CBR"},
        {"version=1 layer=3 vbr=2 bitrate=160 abr=128", "MPEG-2 Audio Layer III, 128 kbps ABR"},
        {"version=2 layer=1 vbr=1 mode=1", "MPEG-2.5 Audio Layer I, 192 kbps VBR (Joint Stereo)"},
        {"vbr=7 mode=2", "MPEG-1 Audio Layer II, 192 kbps"},
        {"vbr=-1 mode=3 bitrate=64", "MPEG-1 Audio Layer II, 64 kbps"},
    };
    for (const auto& [words, description] : table) {
        SCOPED_TRACE(words);
        sovahost::ReadSession session(module, Stream(words + " frames=10").string());
        EXPECT_EQ(session.Open(), 0);
        EXPECT_EQ(sovahost::ToUtf8(session.OpenedFile().description), description);
    }
}

TEST_F(FakeDecoder, SettingsTakeTheAverageBitrateEmphasisAndFlags) {
    const std::vector<std::pair<std::string, std::u16string>> table = {
        {"bitrate=0 abr=112 emphasis=3 flags=11",
         u"ATH:0:0;BitsPerSecond:0:112;CRC:0:1;ChannelMode:0:0;CompressionType:0:0;Copy:0:1;EmphasisType:0:3;"
         u"Energy:0:0;MPEGVersion:0:1;Original:0:1;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;"},
        // Emphasis code 2 is reserved: it becomes none. The private bit (4) is not a setting.
        {"version=1 mode=3 bitrate=48 emphasis=2 flags=4",
         u"ATH:0:0;BitsPerSecond:0:48;CRC:0:0;ChannelMode:0:3;CompressionType:0:0;Copy:0:0;EmphasisType:0:0;"
         u"Energy:0:0;MPEGVersion:0:1;Original:0:0;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;"},
    };
    for (const auto& [words, settings] : table) {
        SCOPED_TRACE(words);
        sovahost::ReadSession session(module, Stream(words + " frames=10").string());
        ASSERT_EQ(session.Open(), 0);
        EXPECT_EQ(sovahost::ToUtf8(session.Format().settingsText), sovahost::ToUtf8(settings));
    }
}

TEST_F(FakeDecoder, UnusableStreamsAreRefusedYetHandedToTheHost) {
    struct Case {
        std::string words;
        bool described; // the description is set before priming, so a failed prime still has one
    };
    for (const Case& unusable : {Case{"bitrate=0 abr=0", false}, Case{"bitrate=-3 abr=-1", false},
                                 Case{"mode=7", false}, Case{"error_at=6", true}}) {
        SCOPED_TRACE(unusable.words);
        sovahost::ReadSession session(module, Stream(unusable.words + " frames=100000").string());
        EXPECT_EQ(session.Open(), -4);
        EXPECT_NE(session.OpenedFile().readHandle, nullptr);
        EXPECT_EQ(session.OpenedFile().description.empty(), !unusable.described);
        EXPECT_EQ(session.OpenedFile().usableValue, unusable.described ? 4 : 0);
    }
    // Only the sixth priming read decides.
    sovahost::ReadSession session(module, Stream("error_at=5 frames=100000").string());
    EXPECT_EQ(session.Open(), 0);
}

TEST_F(FakeDecoder, ADecoderErrorWhileReadingDeliversNothing) {
    // Priming takes reads 1 to 6 (6912 frames); the first host read is served from them, the
    // second needs reads 7 and 8, the third needs read 9, which fails.
    sovahost::ReadSession session(module, Stream("frames=100000 error_at=9").string());
    ASSERT_EQ(session.Open(), 0);
    ASSERT_EQ(session.Read(4096), 0);
    ASSERT_EQ(session.Read(4096), 0);
    EXPECT_EQ(session.FramesDone(), 4096);
    EXPECT_EQ(session.Channel(0)[4095], Expected(8191, 0));
    EXPECT_EQ(session.Channel(1)[4095], Expected(8191, 1));
    EXPECT_EQ(session.Read(4096), -9);
    EXPECT_EQ(session.FramesDone(), 0);
    EXPECT_FALSE(session.LengthReported());
}

TEST_F(FakeDecoder, UnmeasuredLengthIsMinusOneUntilTheEnd) {
    sovahost::ReadSession session(module, Stream("length=-1 frames=9000 mode=3").string());
    ASSERT_EQ(session.Open(), 0);
    EXPECT_EQ(session.Format().length, -1);
    EXPECT_EQ(session.Format().channelCount, 1);
    int64_t total = 0;
    while (session.Read(4000) == 0) {
        for (int64_t i = 0; i < session.FramesDone(); ++i) ASSERT_EQ(session.Channel(0)[i], Expected(total + i, 0));
        total += session.FramesDone();
        EXPECT_EQ(session.LastReadReportedLength(), total == 9000);
    }
    EXPECT_EQ(total, 9000);
    EXPECT_EQ(session.ReportedLength(), 9000);
}

TEST_F(FakeDecoder, StreamShorterThanPrimingReadsWhole) {
    sovahost::ReadSession session(module, Stream("length=100 frames=100").string());
    ASSERT_EQ(session.Open(), 0);
    ASSERT_EQ(session.Read(4096), 0);
    EXPECT_EQ(session.FramesDone(), 100);
    EXPECT_TRUE(session.LastReadReportedLength());
    EXPECT_EQ(session.ReportedLength(), 100);
    EXPECT_EQ(session.Channel(1)[99], Expected(99, 1));
    EXPECT_EQ(session.Read(4096), -9);
}
} // namespace
} // namespace readertest
