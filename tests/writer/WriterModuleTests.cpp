// The real module saving through SovaInterface, compared with the twolame program.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>
#include <tsacore/filesupport/FileException.h>

#include "WriterTestSupport.h"

namespace writertest {
namespace {
using namespace sova::sdk;
namespace fs = std::filesystem;

constexpr const char* kOpenFailure = "Error {} creating file {}.  The destination may be full or no longer available.";

std::u16string OpenFailureMessage(int code, const std::string& path) {
    std::string text = kOpenFailure;
    text.replace(text.find("{}"), 2, std::to_string(code));
    text.replace(text.find("{}"), 2, path);
    return sovahost::FromUtf8(text);
}

struct EncodeCase {
    const char* name;
    int rate;
    int channels;
    std::vector<std::pair<std::string, int32_t>> settings;
    std::vector<std::string> twolameOptions; // -P and -o always: the program's defaults differ
    // What every frame header must say.
    int version, bitrate, mode;
    bool crc, copyright, original;
    int emphasis;
};

const std::vector<EncodeCase>& EncodeCases() {
    static const std::vector<EncodeCase> cases = {
        {"defaults", 44100, 2, {}, {"-P", "1", "-o", "-b", "192"}, 1, 192, 0, false, false, false, 0},
        {"joint stereo, CRC, copyright", 44100, 2,
         {{"ChannelMode", 1}, {"CRC", 1}, {"Copy", 1}},
         {"-P", "1", "-o", "-b", "192", "-m", "j", "-p", "-c"}, 1, 192, 1, true, true, false, 0},
        {"mono 96", 44100, 1, {{"BitsPerSecond", 96}}, {"-P", "1", "-o", "-b", "96"}, 1, 96, 3, false, false, false, 0},
        {"dual channel 256, 50/15 emphasis, padding, original", 48000, 2,
         {{"ChannelMode", 2}, {"BitsPerSecond", 256}, {"EmphasisType", 1}, {"PaddingType", 1}, {"Original", 1}},
         {"-P", "1", "-b", "256", "-m", "d", "-e", "5", "-d"}, 1, 256, 2, false, false, true, 1},
        {"MPEG-2 LSF 40 at 22050", 22050, 2, {{"BitsPerSecond", 40}, {"MPEGVersion", 0}},
         {"-P", "1", "-o", "-b", "40"}, 2, 40, 0, false, false, false, 0},
        {"psychoacoustic model 3, ATH -2.5, CCITT", 44100, 2,
         {{"PAMType", 3}, {"ATH", FloatBits(-2.5f)}, {"EmphasisType", 3}},
         {"-P", "3", "-l", "-2.5", "-o", "-b", "192", "-e", "c"}, 1, 192, 0, false, false, false, 3},
        {"energy levels", 44100, 2, {{"Energy", 1}}, {"-P", "1", "-o", "-b", "192", "-E"}, 1, 192, 0, false, false, false, 0},
    };
    return cases;
}

void ExpectHeaders(const std::vector<uint8_t>& stream, const EncodeCase& c, bool paddingAllowed) {
    const auto frames = ParseFrames(stream);
    ASSERT_TRUE(frames.has_value()) << "not a clean sequence of MPEG frames";
    ASSERT_FALSE(frames->empty());
    if (c.mode == 1)
        EXPECT_TRUE(std::any_of(frames->begin(), frames->end(), [](const FrameHeader& h) { return h.mode == 1; }));
    for (const FrameHeader& h : *frames) {
        ASSERT_EQ(h.version, c.version);
        ASSERT_EQ(h.layer, 2);
        ASSERT_EQ(h.bitrate, c.bitrate);
        ASSERT_EQ(h.sampleRate, c.rate);
        if (c.mode == 1) {
            ASSERT_LE(h.mode, 1) << "joint stereo frames may fall back to plain stereo";
        } else {
            ASSERT_EQ(h.mode, c.mode);
        }
        ASSERT_EQ(h.crc, c.crc);
        ASSERT_EQ(h.copyright, c.copyright);
        ASSERT_EQ(h.original, c.original);
        ASSERT_EQ(h.emphasis, c.emphasis);
        if (!paddingAllowed) {
            ASSERT_FALSE(h.padding);
        }
    }
}

class WriterModule : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host.StartResult(), kResultOK) << "the module did not start: codecs missing?"; }
    TempDir dir;
    ModuleHost host;
};

TEST_F(WriterModule, MatchesTheTwolameProgramForEverySettingAndBlockSize) {
    for (const EncodeCase& c : EncodeCases()) {
        SCOPED_TRACE(c.name);
        const std::vector<int16_t> audio = TestSignal(3 * c.rate + 777, c.channels, c.rate);
        const std::string wav = dir.File("source.wav");
        WriteWav16(wav, audio, c.channels, c.rate);
        const std::vector<uint8_t> reference = TwolameReference(wav, c.twolameOptions, dir.File("reference.mp2"));
        ASSERT_GT(reference.size(), 1000u);

        for (int64_t block : {1, 1000, 1152, 100000}) {
            SCOPED_TRACE("block of " + std::to_string(block) + " frames");
            const std::string out = dir.File("saved.mp2");
            const auto save = host.SaveAudio(out, c.rate, SettingsText(c.settings), kSampleInt16,
                                             Planar(audio, c.channels), block);
            ASSERT_EQ(save.conformResult, kResultOK);
            ASSERT_EQ(save.format.sampleRate, c.rate) << "negotiation moved the rate";
            ASSERT_EQ(save.openResult, kResultOK);
            ASSERT_TRUE(save.writeResults.empty());
            ASSERT_EQ(save.closeResult, kResultOK);
            const std::vector<uint8_t> saved = ReadBytes(out);
            ASSERT_EQ(saved.size(), reference.size());
            ASSERT_TRUE(saved == reference) << "output differs from the twolame program's";
        }
        ExpectHeaders(reference, c, true);
        const auto frames = ParseFrames(reference);
        const int64_t decoded = DecodeWithMpg123(dir.File("saved.mp2"), c.channels == 1 || c.mode == 3 ? 1 : 2);
        EXPECT_EQ(decoded, static_cast<int64_t>(frames->size()) * 1152) << "mpg123 could not decode every frame";
        EXPECT_GE(decoded, static_cast<int64_t>(audio.size() / c.channels));
    }
}

TEST_F(WriterModule, HeaderFlagsFollowTheSettingsAndPaddingStaysOffUnlessAsked) {
    // 44100 Hz needs padding on some frames: off by default, on when asked.
    const std::vector<int16_t> audio = TestSignal(44100, 2, 44100);
    EncodeCase plain = EncodeCases()[0];
    const auto save = host.SaveAudio(dir.File("plain.mp2"), 44100, "", kSampleInt16, Planar(audio, 2), 4096);
    ASSERT_EQ(save.closeResult, kResultOK);
    ExpectHeaders(ReadBytes(dir.File("plain.mp2")), plain, false);

    host.SaveAudio(dir.File("padded.mp2"), 44100, "PaddingType:0:1;", kSampleInt16, Planar(audio, 2), 4096);
    const auto padded = ParseFrames(ReadBytes(dir.File("padded.mp2")));
    ASSERT_TRUE(padded.has_value());
    EXPECT_TRUE(std::any_of(padded->begin(), padded->end(), [](const FrameHeader& h) { return h.padding; }));
}

TEST_F(WriterModule, EverySampleFormatCodeGivesTheConvertedSamples) {
    constexpr int kRate = 44100, kChannels = 2;
    const std::vector<int16_t> audio = TestSignal(2 * kRate, kChannels, kRate);
    const auto encodeExpected = [&](const std::vector<int16_t>& expected, const std::string& name) {
        WriteWav16(dir.File(name + ".wav"), expected, kChannels, kRate);
        return TwolameReference(dir.File(name + ".wav"), {"-P", "1", "-o", "-b", "192"}, dir.File(name + "-ref.mp2"));
    };
    const auto save = [&](int32_t code, const std::vector<std::vector<uint8_t>>& planes, const std::string& name) {
        const auto result = host.SaveAudio(dir.File(name + ".mp2"), kRate, "", code, planes, 4410);
        EXPECT_EQ(result.openResult, kResultOK);
        EXPECT_TRUE(result.writeResults.empty());
        EXPECT_EQ(result.closeResult, kResultOK);
        return ReadBytes(dir.File(name + ".mp2"));
    };

    // 16-bit: handed over unchanged.
    EXPECT_TRUE(save(kSampleInt16, Planar(audio, kChannels), "s16") == encodeExpected(audio, "s16"));

    // 24-bit packed, low bytes of every kind: value / 256, truncated toward zero.
    std::vector<int32_t> wide(audio.size());
    std::vector<int16_t> expected24(audio.size());
    std::vector<uint8_t> packed(audio.size() * 3);
    for (size_t i = 0; i < audio.size(); ++i) {
        wide[i] = audio[i] * 256 + static_cast<int32_t>((i * 37) % 256); // negative values round up
        expected24[i] = static_cast<int16_t>(wide[i] / 256);
        for (int b = 0; b < 3; ++b) packed[i * 3 + b] = static_cast<uint8_t>(wide[i] >> (8 * b));
    }
    std::vector<std::vector<uint8_t>> planes24(kChannels, std::vector<uint8_t>(packed.size() / kChannels));
    for (size_t f = 0; f < audio.size() / kChannels; ++f)
        for (int c = 0; c < kChannels; ++c)
            std::memcpy(planes24[c].data() + f * 3, packed.data() + (f * kChannels + c) * 3, 3);
    const auto reference24 = encodeExpected(expected24, "s24");
    EXPECT_TRUE(save(kSampleInt24, planes24, "s24") == reference24);
    EXPECT_NE(expected24, audio) << "the 24-bit case should not collapse to the 16-bit one";

    // Float: x * 32767, truncated toward zero.
    std::vector<float> floats(audio.size());
    std::vector<int16_t> expectedFloat(audio.size());
    for (size_t i = 0; i < audio.size(); ++i) {
        floats[i] = static_cast<float>(audio[i]) / 32768.0f;
        expectedFloat[i] = static_cast<int16_t>(std::trunc(static_cast<double>(floats[i]) * 32767.0));
    }
    const auto referenceFloat = encodeExpected(expectedFloat, "f32");
    EXPECT_TRUE(save(kSampleFloat32, Planar(floats, kChannels), "f32") == referenceFloat);

    // 8-bit unsigned: (byte - 128) * 255.9921875, truncated toward zero.
    std::vector<uint8_t> bytes(audio.size());
    std::vector<int16_t> expected8(audio.size());
    for (size_t i = 0; i < audio.size(); ++i) {
        bytes[i] = static_cast<uint8_t>((audio[i] >> 8) + 128);
        expected8[i] = static_cast<int16_t>(std::trunc((bytes[i] - 128.0) * 255.9921875));
    }
    EXPECT_TRUE(save(kSampleUInt8, Planar(bytes, kChannels), "u8") == encodeExpected(expected8, "u8"));

    // The same files through sova-host, which reads them with libsndfile.
    WriteWav24(dir.File("in24.wav"), wide, kChannels, kRate);
    WriteWavFloat(dir.File("inf.wav"), floats, kChannels, kRate);
    const auto viaHost = [&](const std::string& wav, const char* format) {
        const auto result = RunProcess({SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "encode", "-q", "--format", format, wav,
                                 dir.File("host.mp2")});
        EXPECT_TRUE(result.Succeeded()) << result.output;
        return ReadBytes(dir.File("host.mp2"));
    };
    EXPECT_TRUE(viaHost(dir.File("in24.wav"), "s24") == reference24);
    EXPECT_TRUE(viaHost(dir.File("inf.wav"), "f32") == referenceFloat);
}

TEST_F(WriterModule, OpenFailuresShowTheMessageWithTheErrorCode) {
    const std::vector<int16_t> audio = TestSignal(10000, 2, 44100);
    const auto tryOpen = [&](const std::string& path, const std::string& settings, bool conform) {
        host.sink.messages.clear();
        return host.SaveAudio(path, 44100, settings, kSampleInt16, Planar(audio, 2), 4096, conform);
    };

    // A folder that does not exist, and a path below a regular file: the file cannot be created.
    WriteBytes(dir.File("plain"), {1, 2, 3});
    for (const std::string& path : {dir.File("missing/out.mp2"), dir.File("plain/out.mp2")}) {
        SCOPED_TRACE(path);
        const auto save = tryOpen(path, "", true);
        EXPECT_EQ(save.openResult, kResultFailed);
        ASSERT_EQ(host.sink.messages.size(), 1u);
        EXPECT_EQ(host.sink.messages[0], OpenFailureMessage(2, path));
        EXPECT_EQ(sovahost::ToUtf8(save.openDescription), "MPEG-1 Audio Layer II, 192 kbps (CBR)");
        EXPECT_FALSE(fs::exists(path));
    }

    // Settings TwoLAME refuses, handed over without negotiation: code 1, and an empty file.
    const std::string refused = dir.File("refused.mp2");
    const auto save = tryOpen(refused, "BitsPerSecond:0:8;", false);
    EXPECT_EQ(save.openResult, kResultFailed);
    ASSERT_EQ(host.sink.messages.size(), 1u);
    EXPECT_EQ(host.sink.messages[0], OpenFailureMessage(1, refused));
    ASSERT_TRUE(fs::exists(refused));
    EXPECT_EQ(fs::file_size(refused), 0u);

    // sova-host says it in words and fails.
    const auto result = RunProcess({SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "encode", "-q", "--no-conform", "-b", "8",
                             dir.File("nothing.wav"), dir.File("x.mp2")});
    EXPECT_NE(result.ExitCode(), 0);
    WriteWav16(dir.File("in.wav"), audio, 2, 44100);
    const auto viaHost = RunProcess({SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "encode", "-q", "--no-conform", "-b", "8",
                              dir.File("in.wav"), dir.File("host-refused.mp2")});
    EXPECT_EQ(viaHost.ExitCode(), 1);
    EXPECT_NE(viaHost.output.find(sovahost::ToUtf8(OpenFailureMessage(1, dir.File("host-refused.mp2")))),
              std::string::npos)
        << viaHost.output;
    EXPECT_EQ(fs::file_size(dir.File("host-refused.mp2")), 0u);
}

TEST_F(WriterModule, ReplacesAnExistingFileAndWritesOnlyWhenFramesAreComplete) {
    const std::vector<int16_t> audio = TestSignal(20000, 2, 44100);
    WriteWav16(dir.File("in.wav"), audio, 2, 44100);
    const auto reference = TwolameReference(dir.File("in.wav"), {"-P", "1", "-o", "-b", "192"}, dir.File("ref.mp2"));
    const std::string out = dir.File("out.mp2");
    WriteBytes(out, std::vector<uint8_t>(300000, 0xAB));

    sovahost::AudioFormat format;
    format.sampleRate = 44100;
    format.channelCount = 2;
    format.sampleFormat = kSampleInt16;
    sovahost::WriteOpenRequest open;
    open.path = sovahost::FromUtf8(out);
    open.format = &format;
    ASSERT_EQ(host.Call(kSelectorOpenForWrite, nullptr, &open), kResultOK);
    ASSERT_NE(open.writeHandle, nullptr);
    EXPECT_EQ(fs::file_size(out), 0u) << "the old file must be gone before anything is encoded";

    const auto planes = Planar(audio, 2);
    sovahost::WriteRequest write;
    write.format = &format;
    int64_t done = 0;
    const auto send = [&](int64_t frames) {
        write.frameCount = frames;
        write.buffers = {planes[0].data() + done * 2, planes[1].data() + done * 2};
        done += frames;
        return host.Call(kSelectorWriteSamples, open.writeHandle, &write);
    };
    EXPECT_EQ(send(0), kResultOK);
    EXPECT_EQ(send(1000), kResultOK);
    EXPECT_EQ(fs::file_size(out), 0u) << "less than a frame encodes nothing";
    EXPECT_EQ(send(static_cast<int64_t>(audio.size() / 2) - 1000), kResultOK);
    sovahost::CloseRequest close;
    EXPECT_EQ(host.Call(kSelectorCloseWriter, open.writeHandle, &close), kResultOK);
    EXPECT_TRUE(ReadBytes(out) == reference);

    // A writer that never received samples leaves at most what the flush emits.
    open.writeHandle = nullptr;
    ASSERT_EQ(host.Call(kSelectorOpenForWrite, nullptr, &open), kResultOK);
    EXPECT_EQ(host.Call(kSelectorCloseWriter, open.writeHandle, &close), kResultOK);
    const auto empty = ReadBytes(out);
    EXPECT_TRUE(empty.empty() || ParseFrames(empty).has_value());
}

TEST_F(WriterModule, RefusedBlocksLeaveTheWriterUsable) {
    const std::vector<int16_t> audio = TestSignal(30000, 2, 44100);
    WriteWav16(dir.File("in.wav"), audio, 2, 44100);
    const auto reference = TwolameReference(dir.File("in.wav"), {"-P", "1", "-o", "-b", "192"}, dir.File("ref.mp2"));

    sovahost::AudioFormat format;
    format.sampleRate = 44100;
    format.channelCount = 2;
    format.sampleFormat = kSampleInt16;
    sovahost::WriteOpenRequest open;
    open.path = sovahost::FromUtf8(dir.File("out.mp2"));
    open.format = &format;
    ASSERT_EQ(host.Call(kSelectorOpenForWrite, nullptr, &open), kResultOK);

    const auto planes = Planar(audio, 2);
    sovahost::WriteRequest write;
    write.format = &format;
    const int64_t frames = static_cast<int64_t>(audio.size() / 2);
    struct Refused {
        const char* what;
        int64_t frames;
        int buffers;
        int32_t code;
        int32_t result;
    };
    for (const Refused& r : {Refused{"a missing channel buffer", frames, 1, kSampleInt16, kResultMissingArgument},
                             Refused{"no channel buffers", frames, 0, kSampleInt16, kResultMissingArgument},
                             Refused{"a negative frame count", -1, 2, kSampleInt16, kResultMissingArgument},
                             Refused{"2^32 frames", int64_t(1) << 32, 2, kSampleInt16, kResultMissingArgument},
                             Refused{"2^28 frames of two channels", int64_t(1) << 28, 2, kSampleInt16,
                                     kResultMissingArgument},
                             Refused{"an unknown sample format", frames, 2, 25, kResultMissingArgument},
                             Refused{"zero frames", 0, 2, kSampleInt16, kResultOK}}) {
        SCOPED_TRACE(r.what);
        write.frameCount = r.frames;
        write.buffers.clear();
        for (int c = 0; c < r.buffers; ++c) write.buffers.push_back(planes[c].data());
        format.sampleFormat = r.code;
        EXPECT_EQ(host.Call(kSelectorWriteSamples, open.writeHandle, &write), r.result);
    }
    format.sampleFormat = kSampleInt16;
    write.frameCount = frames;
    write.buffers = {planes[0].data(), planes[1].data()};
    EXPECT_EQ(host.Call(kSelectorWriteSamples, open.writeHandle, &write), kResultOK);
    sovahost::CloseRequest close;
    EXPECT_EQ(host.Call(kSelectorCloseWriter, open.writeHandle, &close), kResultOK);
    EXPECT_TRUE(ReadBytes(dir.File("out.mp2")) == reference) << "a refused block left samples behind";
}

// A file-size limit makes the disk "full" at kLimit bytes for one child process.
constexpr rlim_t kLimit = 300000;
void LimitFileSize() {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kLimit, kLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(WriterModule, AFullDiskRaisesOutOfTheModuleAndKeepsEveryByteWritten) {
    // 30 s at 320 kbit/s is 1.2 MB: more than the 1 MiB stream buffer, so writing reaches the disk.
    const std::vector<int16_t> audio = TestSignal(30 * 44100, 2, 44100);
    WriteWav16(dir.File("in.wav"), audio, 2, 44100);
    const auto reference = TwolameReference(dir.File("in.wav"), {"-P", "1", "-o", "-b", "320"}, dir.File("ref.mp2"));
    ASSERT_GT(reference.size(), 1048576u);
    const auto keptPrefix = [&](const std::string& path) {
        const auto kept = ReadBytes(path);
        EXPECT_EQ(kept.size(), kLimit);
        return kept.size() <= reference.size() && std::equal(kept.begin(), kept.end(), reference.begin());
    };

    // In a child: the module's exception reaches the host as the framework's file error.
    const std::string out = dir.File("full.mp2");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        LimitFileSize();
        int code = 5;
        try {
            ModuleHost child;
            child.SaveAudio(out, 44100, "BitsPerSecond:0:320;", kSampleInt16, Planar(audio, 2), 44100);
        } catch (const tsacore::filesupport::file_exception& error) {
            code = error.ErrorNumber() == EFBIG ? 3 : 4;
        } catch (...) {
            code = 6;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "5: nothing raised, 4: another file error, 6: another exception";
    EXPECT_TRUE(keptPrefix(out));

    // sova-host reports it in words and fails; the bytes stay.
    const auto result = RunProcess({SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "encode", "-b", "320", dir.File("in.wav"),
                             dir.File("host-full.mp2")},
                            LimitFileSize);
    EXPECT_EQ(result.ExitCode(), 1) << result.output;
    EXPECT_NE(result.output.find("File too large"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("300000 bytes written before stay in the file"), std::string::npos) << result.output;
    EXPECT_TRUE(keptPrefix(dir.File("host-full.mp2")));

    // A smaller file reaches the disk only when its streams close at the end, where the failure
    // cannot be raised: sova-host hears of it from the framework and still fails in words.
    WriteWav16(dir.File("short.wav"), std::vector<int16_t>(audio.begin(), audio.begin() + 2 * 20 * 44100), 2, 44100);
    const auto shortReference =
        TwolameReference(dir.File("short.wav"), {"-P", "1", "-o", "-b", "320"}, dir.File("short-ref.mp2"));
    ASSERT_GT(shortReference.size(), kLimit);
    ASSERT_LT(shortReference.size(), 1048576u);
    const auto late = RunProcess({SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "encode", "-b", "320",
                                  dir.File("short.wav"), dir.File("host-late.mp2")},
                                 LimitFileSize);
    EXPECT_EQ(late.ExitCode(), 1) << late.output;
    EXPECT_NE(late.output.find("failed while finishing"), std::string::npos) << late.output;
    EXPECT_NE(late.output.find("File too large"), std::string::npos) << late.output;
    const auto kept = ReadBytes(dir.File("host-late.mp2"));
    EXPECT_EQ(kept.size(), kLimit);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), shortReference.begin()));
}
} // namespace
} // namespace writertest
