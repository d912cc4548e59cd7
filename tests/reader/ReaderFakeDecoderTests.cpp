// SPDX-License-Identifier: MIT
// The reader over a stand-in libmpg123 (fake_mpg123_stream.c) whose files describe the stream
// it pretends to decode: what real files cannot show, such as unknown versions and layers,
// bitrate modes, streams without a bitrate, an unmeasured length, and decoder errors.
#include <gtest/gtest.h>

#include "ReaderSupport.h"

namespace readertest {
namespace {
class FakeDecoder : public ::testing::Test {
protected:
    static sovahost::HostOptions Options() {
        sovahost::HostOptions options = ModuleOptions();
        options.codecFolders = {SOVA_FAKE_MPG123_FOLDER}; // TwoLAME still comes from the system
        return options;
    }
    std::string Stream(const std::string& words) {
        const fs::path file = WorkFolder() / ("stream" + std::to_string(++count_) + ".mp2");
        WriteAll(file, std::vector<char>(words.begin(), words.end()));
        return file.string();
    }
    sovahost::StartedModule module{Options()};
private:
    int count_ = 0;
};

float Expected(int64_t frame, int32_t channel) { return static_cast<float>(frame) * 1e-4f + static_cast<float>(channel); }

TEST_F(FakeDecoder, DescriptionsAndSettingsOfWhatRealFilesCannotBe) {
    ASSERT_EQ(module.StartResult(), 0);
    const std::vector<std::tuple<std::string, std::string, std::string>> table = {
        {"version=5 layer=4", "MPEG-5 Audio Layer 4, 192 kbps CBR", SettingsWith({"ChannelMode:0:0;"})},
        {"version=1 layer=3 vbr=2 bitrate=160 abr=128", "MPEG-2 Audio Layer III, 128 kbps ABR",
         SettingsWith({"BitsPerSecond:0:160;", "ChannelMode:0:0;"})},
        {"version=2 layer=1 vbr=1 mode=1", "MPEG-2.5 Audio Layer I, 192 kbps VBR (Joint Stereo)",
         SettingsWith({"ChannelMode:0:1;"})},
        {"vbr=7 mode=2", "MPEG-1 Audio Layer II, 192 kbps", SettingsWith({"ChannelMode:0:2;"})},
        {"vbr=-1 mode=3 bitrate=64", "MPEG-1 Audio Layer II, 64 kbps",
         SettingsWith({"BitsPerSecond:0:64;", "ChannelMode:0:3;"})},
        // No bitrate: the settings take the average one. Flags 1 (CRC), 2 (copyright), 8 (original).
        {"bitrate=0 abr=112 emphasis=3 flags=11", "MPEG-1 Audio Layer II, 0 kbps CBR",
         SettingsWith({"BitsPerSecond:0:112;", "CRC:0:1;", "ChannelMode:0:0;", "Copy:0:1;", "EmphasisType:0:3;",
                       "Original:0:1;"})},
        // Emphasis 2 is reserved: none. The private bit (4) is not a setting.
        {"mode=3 bitrate=48 emphasis=2 flags=4", "MPEG-1 Audio Layer II, 48 kbps CBR",
         SettingsWith({"BitsPerSecond:0:48;", "ChannelMode:0:3;"})},
    };
    for (const auto& [words, description, settings] : table) {
        SCOPED_TRACE(words);
        sovahost::ReadSession session(module, Stream(words + " frames=10"));
        EXPECT_EQ(session.Open(), 0);
        EXPECT_EQ(sovahost::ToUtf8(session.OpenedFile().description), description);
        EXPECT_EQ(sovahost::ToUtf8(session.Format().settingsText), settings);
    }
}

TEST_F(FakeDecoder, UnusableStreamsAreRefusedYetHandedToTheHost) {
    // The description is set before priming, so a stream failing there still has one.
    for (const auto& [words, described] : {std::pair{"bitrate=0 abr=0", false}, {"bitrate=-3 abr=-1", false},
                                           {"mode=7", false}, {"error_at=6", true}}) {
        SCOPED_TRACE(words);
        sovahost::ReadSession session(module, Stream(std::string(words) + " frames=100000"));
        EXPECT_EQ(session.Open(), -4);
        EXPECT_NE(session.OpenedFile().readHandle, nullptr);
        EXPECT_EQ(session.OpenedFile().description.empty(), !described);
        EXPECT_EQ(session.OpenedFile().usableValue, described ? 4 : 0);
    }
    sovahost::ReadSession session(module, Stream("error_at=5 frames=100000")); // only the sixth priming read decides
    EXPECT_EQ(session.Open(), 0);
}

TEST_F(FakeDecoder, ADecoderThatWouldNotDeliverFloatIsRefusedAtOpen) {
    sovahost::ReadSession session(module, Stream("encoding=208 frames=10000")); // MPG123_ENC_SIGNED_16
    EXPECT_EQ(session.Open(), -1);
    EXPECT_EQ(session.OpenedFile().readHandle, nullptr);
}

TEST_F(FakeDecoder, ADecoderErrorWhileReadingDeliversNothing) {
    // Priming takes reads 1 to 6 (6912 frames); the first host read is served from them, the
    // second needs reads 7 and 8, the third needs read 9, which fails.
    sovahost::ReadSession session(module, Stream("frames=100000 error_at=9"));
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
    sovahost::ReadSession session(module, Stream("length=-1 frames=9000 mode=3"));
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
} // namespace
} // namespace readertest
