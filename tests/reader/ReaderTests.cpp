// SPDX-License-Identifier: MIT
// Reading real MPEG files through the built module (in-process, through SovaInterface) and
// through the sova-host process, against what the mpg123 program decodes.
#include <sys/wait.h>

#include <cstdio>
#include <random>

#include <gtest/gtest.h>
#include <sndfile.h>
#include <tsacore/config/Localizer.h>

#include "ReaderSupport.h"

namespace readertest {
namespace {
// One pass over a file, `block` frames per call.
struct Decoded {
    std::vector<float> samples; // interleaved, as the reference decoder writes them
    int32_t lengthReports = 0;  // on any call, the -9s included
    bool emptyAnswer = false;   // a 0 that delivered no frames
    int64_t reportedLength = -1;
    bool noneRefused = true;       // calls for 0 frames between them answer -9, deliver and lose nothing
    std::vector<int32_t> afterEnd; // two more calls after the first -9
};

Decoded DecodeAll(sovahost::StartedModule& module, const fs::path& file, int32_t block) {
    Decoded decoded;
    sovahost::ReadSession session(module, file.string());
    if (session.Open() != 0) throw std::runtime_error("the module refused " + file.string());
    const int32_t channels = session.Format().channelCount;
    const auto read = [&](int32_t frames) {
        const int32_t result = session.Read(frames);
        if (session.LastReadReportedLength()) {
            ++decoded.lengthReports;
            decoded.reportedLength = session.ReportedLength();
        }
        return result;
    };
    while (true) {
        decoded.noneRefused &= read(0) == -9 && session.FramesDone() == 0;
        if (read(block) != 0) break;
        decoded.emptyAnswer |= session.FramesDone() == 0;
        for (int64_t i = 0; i < session.FramesDone(); ++i)
            for (int32_t c = 0; c < channels; ++c) decoded.samples.push_back(session.Channel(c)[i]);
    }
    for (int i = 0; i < 2; ++i) {
        const int32_t result = read(block);
        decoded.afterEnd.push_back(session.FramesDone() == 0 ? result : 0); // 0: frames after the end
    }
    return decoded;
}

class DecodesLikeMpg123 : public ::testing::TestWithParam<std::string> {};

TEST_P(DecodesLikeMpg123, AtEveryBlockSize) {
    const fs::path file = MakeSample(GetParam());
    const std::vector<float> reference = ReferenceSamples(file);
    ASSERT_FALSE(reference.empty());
    const int64_t frames = static_cast<int64_t>(reference.size()) / (GetParam() == "Mono" ? 1 : 2);
    sovahost::StartedModule module(ModuleOptions());
    ASSERT_EQ(module.StartResult(), 0);
    for (const int32_t block : {1, 128, 1000, 1152, 4096, 100000}) {
        SCOPED_TRACE("frames per call: " + std::to_string(block));
        const Decoded decoded = DecodeAll(module, file, block);
        ASSERT_EQ(decoded.samples.size(), reference.size());
        // Bit for bit: the module hands over the decoder's floats untouched.
        EXPECT_EQ(std::memcmp(decoded.samples.data(), reference.data(), reference.size() * sizeof(float)), 0);
        EXPECT_FALSE(decoded.emptyAnswer);
        EXPECT_TRUE(decoded.noneRefused);
        // The exact length comes once: on the call that empties the reader or, when the frames
        // asked divided what was left, on the -9 that follows it.
        EXPECT_EQ(decoded.lengthReports, 1);
        EXPECT_EQ(decoded.reportedLength, frames);
        EXPECT_EQ(decoded.afterEnd, (std::vector<int32_t>{-9, -9})) << "then -9 with no frames, again and again";
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, DecodesLikeMpg123, ::testing::ValuesIn(kAllDecodable),
                         [](const auto& info) { return info.param; });

class Reader : public ::testing::Test {
protected:
    sovahost::StartedModule module{ModuleOptions()};
};

struct Opened {
    int32_t result = 0, usableValue = 0;
    bool handed = false;
    std::string description;
    sovahost::AudioFormat format;
};

Opened OpenOnly(sovahost::StartedModule& module, const fs::path& file) {
    sovahost::ReadSession session(module, file.string()); // closes the handle with selector 12
    const int32_t result = session.Open();
    return {result, session.OpenedFile().usableValue, session.OpenedFile().readHandle != nullptr,
            sovahost::ToUtf8(session.OpenedFile().description), session.Format()};
}

TEST_F(Reader, DescriptionsChannelsSettingsAndLengthOfEachKindOfStream) {
    struct Expected {
        std::string sample, description;
        int32_t rate;
        std::vector<int32_t> channelTypes;
        std::string settings;
    };
    const std::vector<Expected> table = {
        {"Stereo", "MPEG-1 Audio Layer II, 192 kbps CBR", 44100, {100, 101},
         SettingsWith({"ChannelMode:0:0;", "Original:0:1;"})},
        {"JointCrc", "MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)", 44100, {100, 101},
         SettingsWith({"BitsPerSecond:0:128;", "ChannelMode:0:1;", "CRC:0:1;", "Original:0:1;"})},
        {"DualEmphasis", "MPEG-1 Audio Layer II, 192 kbps CBR", 44100, {0, 0},
         SettingsWith({"ChannelMode:0:2;", "EmphasisType:0:1;", "Original:0:1;"})},
        {"Mono", "MPEG-1 Audio Layer II, 96 kbps CBR", 44100, {0},
         SettingsWith({"BitsPerSecond:0:96;", "ChannelMode:0:3;", "Original:0:1;"})},
        // MPEGVersion stays 1 whatever the stream: the settings describe the bitrate and flags.
        {"Lsf22050", "MPEG-2 Audio Layer II, 64 kbps CBR", 22050, {100, 101},
         SettingsWith({"BitsPerSecond:0:64;", "ChannelMode:0:0;", "Original:0:1;"})},
        {"JointCopyright", "MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)", 44100, {100, 101},
         SettingsWith({"BitsPerSecond:0:128;", "ChannelMode:0:1;", "Copy:0:1;"})},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.sample);
        const Opened opened = OpenOnly(module, MakeSample(expected.sample));
        ASSERT_EQ(opened.result, 0);
        EXPECT_EQ(opened.usableValue, 4);
        EXPECT_EQ(opened.description, expected.description);
        EXPECT_EQ(opened.format.sampleRate, expected.rate);
        EXPECT_EQ(opened.format.sampleFormat, 40);
        std::vector<int32_t> types;
        for (const auto& [channel, type] : opened.format.channelTypes) types.push_back(type);
        EXPECT_EQ(opened.format.channelCount, static_cast<int32_t>(types.size()));
        EXPECT_EQ(types, expected.channelTypes);
        EXPECT_EQ(sovahost::ToUtf8(opened.format.settingsText), expected.settings);
        EXPECT_TRUE(expected.rate != 44100 || opened.format.length == 77 * 1152) << "2 s fill 77 frames";
    }
    // Layer III: the rate mode is libmpg123's to tell from the encoder's info frame.
    const Opened mp3 = OpenOnly(module, MakeSample("Mp3"));
    ASSERT_EQ(mp3.result, 0);
    EXPECT_EQ(mp3.description.rfind("MPEG-1 Audio Layer III, 128 kbps ", 0), 0u) << mp3.description;
    EXPECT_EQ(mp3.format.channelCount, 2);
    EXPECT_NE(mp3.format.settingsText.find(u"BitsPerSecond:0:128;"), std::u16string::npos);

    // The pieces of the description come from the localiser.
    auto& localizer = tsacore::config::Localizer::Get();
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/MPEG-1", u"MPEG-Eins");
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/_AudioLayerII", u" Audioschicht II");
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/_num_kbps_CBR", u", @0 kbit/s konstant");
    localizer.AddTranslation("$$$/SovaPlugIns/SovaMp2/JointStereo", u"(Joint-Stereo)");
    const std::string translated = OpenOnly(module, MakeSample("JointCrc")).description;
    localizer.ClearTranslations();
    EXPECT_EQ(translated, "MPEG-Eins Audioschicht II, 128 kbit/s konstant (Joint-Stereo)");
}

TEST_F(Reader, BadInputsGetTheirCodesAndNonAsciiPathsOpen) {
    const fs::path folder = WorkFolder() / "bad";
    fs::create_directories(folder / "folder.mp2");
    WriteAll(folder / "movie.avi", ReadAll(MakeSample("Stereo"))); // refused by its name alone
    std::mt19937 random(12345);
    std::vector<char> noise(200000);
    for (char& byte : noise) byte = static_cast<char>(random() % 255); // no 0xFF: no frame sync by chance
    WriteAll(folder / "noise.mp2", noise);
    WriteAll(folder / "empty.mp2", {});
    fs::copy_file(MakeWav("stereo44"), folder / "wave.mp2");
    // A free-format stream has no bitrate to tell: refused, yet the host owns the reader made.
    const std::vector<std::tuple<fs::path, int32_t, bool>> cases = {
        {folder / "movie.avi", -4, false}, {folder / "missing.mp2", -1, false}, {folder / "folder.mp2", -1, false},
        {folder / "empty.mp2", -1, false}, {folder / "noise.mp2", -1, false},   {folder / "wave.mp2", -1, false},
        {MakeSample("FreeFormat"), -4, true}};
    for (const auto& [file, result, handed] : cases) {
        SCOPED_TRACE(file.filename().string());
        const Opened opened = OpenOnly(module, file);
        EXPECT_EQ(opened.result, result);
        EXPECT_EQ(opened.handed, handed);
        EXPECT_EQ(opened.usableValue, 0);
        EXPECT_TRUE(opened.description.empty());
    }

    const fs::path file = WorkFolder() / "Übung – 日本語 ñ.mp2";
    fs::copy_file(MakeSample("JointCrc"), file);
    EXPECT_EQ(OpenOnly(module, file).description, "MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)");
    EXPECT_EQ(DecodeAll(module, file, 4096).samples, ReferenceSamples(MakeSample("JointCrc")));
}

std::vector<float> ReadWithSndfile(const fs::path& file, int expectedFormat) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (!sound) throw std::runtime_error("libsndfile cannot read " + file.string());
    EXPECT_EQ(info.format, expectedFormat);
    EXPECT_EQ(info.channels, 2);
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(sound, samples.data(), info.frames);
    sf_close(sound);
    return samples;
}

TEST(SovaHost, DecodeWritesRawWavAndFlacOfTheDecodedStream) {
    const fs::path input = MakeSample("JointCrc"), raw = WorkFolder() / "decoded.f32";
    const std::vector<float> reference = ReferenceSamples(input);
    const auto [exitCode, text] = RunHost("decode --block 777 " + Quote(input) + " " + Quote(raw));
    ASSERT_EQ(exitCode, 0);
    EXPECT_TRUE(Contains(text, "88704 samples per channel") && !Contains(text, "damaged")) << text;
    const std::vector<char> bytes = ReadAll(raw);
    ASSERT_EQ(bytes.size(), reference.size() * sizeof(float));
    EXPECT_EQ(std::memcmp(bytes.data(), reference.data(), bytes.size()), 0);

    ASSERT_EQ(RunHost("decode " + Quote(input) + " " + Quote(WorkFolder() / "decoded.wav")).first, 0);
    EXPECT_EQ(ReadWithSndfile(WorkFolder() / "decoded.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT), reference);
    ASSERT_EQ(RunHost("decode " + Quote(input) + " " + Quote(WorkFolder() / "decoded.flac")).first, 0);
    const std::vector<float> fromFlac = ReadWithSndfile(WorkFolder() / "decoded.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    ASSERT_EQ(fromFlac.size(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i) ASSERT_NEAR(fromFlac[i], reference[i], 1.0 / (1 << 23)) << i;

    EXPECT_EQ(RunHost("decode " + Quote(input) + " " + Quote(WorkFolder() / "decoded.ogg")).first, 2);
    EXPECT_EQ(RunHost("decode " + Quote(WorkFolder() / "absent.mp2") + " " + Quote(raw)).first, 1);
}
} // namespace
} // namespace readertest
