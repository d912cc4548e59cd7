// What the module says about an opened file (description, channels and their types, settings
// text), and the result codes for files it cannot read.
#include <gtest/gtest.h>

#include <random>

#include <tsacore/config/Localizer.h>

#include "ReaderHost.h"
#include "TestMedia.h"

namespace readertest {
namespace {
namespace fs = std::filesystem;

const std::u16string kDefaultSettings =
    u"ATH:0:0;BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:-1;CompressionType:0:0;Copy:0:0;EmphasisType:0:0;"
    u"Energy:0:0;MPEGVersion:0:1;Original:0:0;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;";

// The default settings text with the given entries ("Key:0:value;") in place of the defaults.
std::u16string SettingsWith(std::initializer_list<std::u16string> entries) {
    std::u16string text = kDefaultSettings;
    for (const std::u16string& entry : entries) {
        const std::u16string key = entry.substr(0, entry.find(u':') + 3);
        const size_t at = text.find(key);
        EXPECT_NE(at, std::u16string::npos);
        text.replace(at, text.find(u';', at) + 1 - at, entry);
    }
    return text;
}

struct Opened {
    int32_t result = 0;
    bool handed = false;
    int32_t usableValue = 0;
    std::string description;
    sovahost::AudioFormat format;
};

Opened OpenOnly(sovahost::StartedModule& module, const fs::path& file) {
    sovahost::ReadSession session(module, file.string());
    Opened opened;
    opened.result = session.Open();
    opened.handed = session.OpenedFile().readHandle != nullptr;
    opened.usableValue = session.OpenedFile().usableValue;
    opened.description = sovahost::ToUtf8(session.OpenedFile().description);
    opened.format = session.Format();
    return opened; // the session closes the handle with selector 12
}

class ReaderFormat : public ::testing::Test {
protected:
    sovahost::StartedModule module{ModuleOptions()};
};

TEST_F(ReaderFormat, DescriptionsChannelsAndSettingsOfEachKindOfStream) {
    struct Expected {
        Sample sample;
        std::string description;
        int32_t rate;
        std::vector<int32_t> channelTypes;
        std::u16string settings; // empty: not checked here
    };
    const std::vector<Expected> table = {
        {Sample::Stereo, "MPEG-1 Audio Layer II, 192 kbps CBR", 44100, {100, 101},
         SettingsWith({u"ChannelMode:0:0;", u"Original:0:1;"})},
        {Sample::JointCrc, "MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)", 44100, {100, 101},
         SettingsWith({u"BitsPerSecond:0:128;", u"ChannelMode:0:1;", u"CRC:0:1;", u"Original:0:1;"})},
        {Sample::DualEmphasis, "MPEG-1 Audio Layer II, 192 kbps CBR", 44100, {0, 0},
         SettingsWith({u"ChannelMode:0:2;", u"EmphasisType:0:1;", u"Original:0:1;"})},
        {Sample::Mono, "MPEG-1 Audio Layer II, 96 kbps CBR", 44100, {0},
         SettingsWith({u"BitsPerSecond:0:96;", u"ChannelMode:0:3;", u"Original:0:1;"})},
        // MPEGVersion stays 1 whatever the stream: the settings describe the bitrate and flags.
        {Sample::Lsf22050, "MPEG-2 Audio Layer II, 64 kbps CBR", 22050, {100, 101},
         SettingsWith({u"BitsPerSecond:0:64;", u"ChannelMode:0:0;", u"Original:0:1;"})},
        {Sample::JointCopyright, "MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)", 44100, {100, 101},
         SettingsWith({u"BitsPerSecond:0:128;", u"ChannelMode:0:1;", u"Copy:0:1;"})},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(SampleName(expected.sample));
        const Opened opened = OpenOnly(module, MakeSample(expected.sample));
        ASSERT_EQ(opened.result, 0);
        EXPECT_EQ(opened.usableValue, 4);
        EXPECT_EQ(opened.description, expected.description);
        EXPECT_EQ(opened.format.sampleRate, expected.rate);
        EXPECT_EQ(opened.format.sampleFormat, 40);
        ASSERT_EQ(opened.format.channelCount, static_cast<int32_t>(expected.channelTypes.size()));
        std::vector<int32_t> types;
        for (const auto& [channel, type] : opened.format.channelTypes) types.push_back(type);
        EXPECT_EQ(types, expected.channelTypes);
        EXPECT_EQ(sovahost::ToUtf8(opened.format.settingsText), sovahost::ToUtf8(expected.settings));
    }

    // Layer III through the same reader: libmpg123 reads the encoder's info frame, so the rate
    // mode is libmpg123's to tell; the layer and the bitrate are the file's.
    const Opened mp3 = OpenOnly(module, MakeSample(Sample::Mp3));
    ASSERT_EQ(mp3.result, 0);
    EXPECT_EQ(mp3.description.rfind("MPEG-1 Audio Layer III, 128 kbps ", 0), 0u) << mp3.description;
    EXPECT_EQ(mp3.format.channelCount, 2);
    EXPECT_NE(mp3.format.settingsText.find(u"BitsPerSecond:0:128;"), std::u16string::npos);
}

TEST_F(ReaderFormat, DescriptionPiecesComeFromTheLocaliser) {
    auto& localizer = tsacore::config::Localizer::Get();
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/MPEG-1", u"MPEG-Eins");
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/_AudioLayerII", u" Audioschicht II");
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/_num_kbps_CBR", u", @0 kbit/s konstant");
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/JointStereo", u"(Joint-Stereo)");
    const Opened opened = OpenOnly(module, MakeSample(Sample::JointCrc));
    localizer.ClearTranslations();
    EXPECT_EQ(opened.description, "MPEG-Eins Audioschicht II, 128 kbit/s konstant (Joint-Stereo)");
}

TEST_F(ReaderFormat, LengthAtOpenIsTheDecodersMeasure) {
    // A constant-bitrate Layer II file is measured from its frame count: 2 s at 44100 Hz
    // fill 77 frames of 1152.
    const Opened opened = OpenOnly(module, MakeSample(Sample::Stereo));
    ASSERT_EQ(opened.result, 0);
    EXPECT_EQ(opened.format.length, 77 * 1152);
}

TEST_F(ReaderFormat, BadInputsGetTheirCodesAndNeverAReader) {
    const fs::path folder = WorkFolder() / "bad";
    fs::create_directories(folder);
    const std::vector<char> mp2 = ReadAll(MakeSample(Sample::Stereo));

    // A good stream behind an ".avi" name is refused before anything is decoded.
    WriteAll(folder / "movie.avi", mp2);
    // Random bytes with no 0xFF, so no frame sync can appear by chance.
    std::mt19937 random(12345);
    std::vector<char> noise(200000);
    for (char& byte : noise) byte = static_cast<char>(random() % 255);
    WriteAll(folder / "noise.mp2", noise);
    WriteAll(folder / "empty.mp2", {});
    fs::create_directories(folder / "folder.mp2");
    fs::copy_file(MakeWav("stereo44", 44100, 2, 2.0), folder / "wave.mp2");

    struct Case {
        std::string name;
        int32_t result;
    };
    const std::vector<Case> cases = {
        {"movie.avi", -4}, {"missing.mp2", -1}, {"folder.mp2", -1},
        {"empty.mp2", -1}, {"noise.mp2", -1},   {"wave.mp2", -1},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.name);
        const Opened opened = OpenOnly(module, folder / bad.name);
        EXPECT_EQ(opened.result, bad.result);
        EXPECT_FALSE(opened.handed);
        EXPECT_EQ(opened.usableValue, 0);
        EXPECT_TRUE(opened.description.empty());
    }
}

TEST_F(ReaderFormat, FreeFormatStreamIsRefusedButHandedToTheHost) {
    // libmpg123 reports no bitrate for a free-format stream: the module refuses it, yet the
    // host owns the reader it made and closes it.
    const fs::path file = WorkFolder() / "free.mp2";
    readertest::Run("twolame --quiet --freeformat -b 192 " + Quote(MakeWav("stereo44", 44100, 2, 2.0)) + " " + Quote(file));
    const Opened opened = OpenOnly(module, file);
    EXPECT_EQ(opened.result, -4);
    EXPECT_TRUE(opened.handed);
    EXPECT_TRUE(opened.description.empty());
}

TEST_F(ReaderFormat, NonAsciiPathOpens) {
    const fs::path file = WorkFolder() / "Übung – 日本語 ñ.mp2";
    fs::copy_file(MakeSample(Sample::JointCrc), file);
    const Opened opened = OpenOnly(module, file);
    EXPECT_EQ(opened.result, 0);
    EXPECT_EQ(opened.description, "MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)");
    const Decoded decoded = DecodeAll(module, file, 4096);
    EXPECT_EQ(decoded.samples, ReferenceSamples(MakeSample(Sample::JointCrc)));
}

TEST_F(ReaderFormat, ArbitraryBytesNeverHangOrCrash) {
    // Bytes that may hold frame syncs by chance: whatever libmpg123 makes of them, the module
    // answers with one of its codes and a readable stream reads to its end.
    std::mt19937 random(777);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        std::vector<char> bytes(5000 + random() % 60000);
        for (char& byte : bytes) byte = static_cast<char>(random());
        // Sprinkle plausible Layer II headers to get past the sync search now and then.
        for (size_t at = 0; at + 4 < bytes.size(); at += 400 + random() % 300) {
            bytes[at] = static_cast<char>(0xFF);
            bytes[at + 1] = static_cast<char>(0xFD);
        }
        const fs::path file = WorkFolder() / ("arbitrary" + std::to_string(round) + ".mp2");
        WriteAll(file, bytes);
        sovahost::ReadSession session(module, file.string());
        const int32_t result = session.Open();
        EXPECT_TRUE(result == 0 || result == -1 || result == -4) << result;
        if (result != 0) continue;
        int64_t total = 0;
        for (int calls = 0; session.Read(4096) == 0; ++calls) {
            total += session.FramesDone();
            ASSERT_LT(calls, 100000) << "the reader never reached an end";
        }
        EXPECT_EQ(session.Read(4096), -9);
    }
}
} // namespace
} // namespace readertest
