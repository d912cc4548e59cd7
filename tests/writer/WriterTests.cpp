// SPDX-License-Identifier: MIT
// The real module saving through SovaInterface, and sova-host encode/convert as processes,
// compared with the twolame program and checked with mpg123.
#include <signal.h>
#include <sys/resource.h>

#include <bit>

#include <gtest/gtest.h>
#include <tsacore/filesupport/FileException.h>

#include "WriterTestSupport.h"

namespace writertest {
namespace {
namespace fs = std::filesystem;

std::string OpenFailure(int code, const std::string& path) {
    return "Error " + std::to_string(code) + " creating file " + path +
           ".  The destination may be full or no longer available.";
}
bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
ProcessResult Host(std::vector<std::string> args, const std::function<void()>& inChild = {}) {
    args.insert(args.begin(), {SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH});
    return RunProcess(args, inChild);
}
// The program's options for the module's defaults (psychoacoustic model 1, not original); later options win.
std::vector<std::string> Twolame(std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"-P", "1", "-o", "-b", "192"});
    return options;
}

// Runs save on a module host of its own in a child process (after setUp there) and tells what left
// it: 3 the framework's file error with errno `expected`, 4 another file error, 5 nothing, 6 anything else.
int RaisedInChild(int expected, const std::function<void(ModuleHost&)>& save, const std::function<void()>& setUp = {}) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (setUp) setUp();
        int code = 5;
        try {
            ModuleHost child;
            save(child);
        } catch (const tsacore::filesupport::file_exception& error) {
            code = error.ErrorNumber() == expected ? 3 : 4;
        } catch (...) {
            code = 6;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
constexpr const char* kRaisedCodes = "5: nothing raised, 4: another file error, 6: another exception";

struct EncodeCase {
    const char* name;
    int rate, channels;
    std::vector<std::pair<std::string, int32_t>> settings;
    std::vector<std::string> hostOptions, twolameOptions;
    FrameHeader expect; // every frame; padding: some frames padded
    int hostContainer = SF_FORMAT_WAV; // what sova-host reads the audio from
};

const std::vector<EncodeCase> kCases = {
    {"defaults", 44100, 2, {}, {}, Twolame({}), {.version = 1, .bitrate = 192, .sampleRate = 44100}},
    {"joint stereo, CRC, copyright", 44100, 2, {{"ChannelMode", 1}, {"CRC", 1}, {"Copy", 1}},
     {"--settings", "ChannelMode:0:1;BitsPerSecond:0:128;", "-p", "-c", "-b", "192"}, Twolame({"-m", "j", "-p", "-c"}),
     {.version = 1, .bitrate = 192, .sampleRate = 44100, .mode = 1, .crc = true, .copyright = true}, SF_FORMAT_FLAC},
    {"mono 96", 44100, 1, {{"BitsPerSecond", 96}}, {"-b", "96"}, Twolame({"-b", "96"}),
     {.version = 1, .bitrate = 96, .sampleRate = 44100, .mode = 3}, SF_FORMAT_AIFF},
    {"dual channel 256, 50/15 emphasis, padding (none needed at 48000), original", 48000, 2,
     {{"ChannelMode", 2}, {"BitsPerSecond", 256}, {"EmphasisType", 1}, {"PaddingType", 1}, {"Original", 1}},
     {"-m", "d", "-b", "256", "-e", "5", "-d", "--original"}, {"-P", "1", "-b", "256", "-m", "d", "-e", "5", "-d"},
     {.version = 1, .bitrate = 256, .sampleRate = 48000, .mode = 2, .emphasis = 1, .original = true}},
    {"MPEG-2 LSF 40 at 22050", 22050, 2, {{"BitsPerSecond", 40}, {"MPEGVersion", 0}}, {"-b", "40"},
     Twolame({"-b", "40"}), {.version = 2, .bitrate = 40, .sampleRate = 22050}},
    {"psychoacoustic model 3, ATH -2.5, CCITT", 44100, 2,
     {{"PAMType", 3}, {"ATH", std::bit_cast<int32_t>(-2.5f)}, {"EmphasisType", 3}},
     {"-P", "3", "-l", "-2.5", "-e", "c"},
     Twolame({"-P", "3", "-l", "-2.5", "-e", "c"}), {.version = 1, .bitrate = 192, .sampleRate = 44100, .emphasis = 3}},
    {"energy levels, padding", 44100, 2, {{"Energy", 1}, {"PaddingType", 1}}, {"-E", "-d", "--block", "1000"},
     Twolame({"-E", "-d"}), {.version = 1, .bitrate = 192, .sampleRate = 44100, .padding = true}},
};

class Writer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host.StartResult(), kResultOK) << "the module did not start: codecs missing?"; }
    TempDir dir;
    ModuleHost host;
};

TEST_F(Writer, MatchesTheTwolameProgramForEverySettingAndBlockSize) {
    for (const EncodeCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::vector<int16_t> audio = TestSignal(3 * c.rate + 777, c.channels, c.rate);
        const std::string wav = dir.File("source.wav"), out = dir.File("saved.mp2");
        WriteWav(wav, audio, c.channels, c.rate);
        const std::vector<uint8_t> reference = TwolameReference(wav, c.twolameOptions, dir.File("reference.mp2"));
        for (int64_t block : {1, 1000, 1152, 100000}) {
            SCOPED_TRACE("block of " + std::to_string(block) + " frames");
            const auto save = host.SaveAudio(out, c.rate, SettingsText(c.settings), kSampleInt16,
                                             Planar(audio, c.channels), block);
            ASSERT_EQ(save.conformResult, kResultOK);
            ASSERT_EQ(save.format.sampleRate, c.rate) << "negotiation moved the rate";
            ASSERT_TRUE(save.openResult == kResultOK && save.writeResults.empty() && save.closeResult == kResultOK);
            ASSERT_TRUE(ReadBytes(out) == reference) << "output differs from the twolame program's";
        }
        const auto frames = ParseFrames(reference);
        ASSERT_TRUE(frames.has_value() && !frames->empty()) << "not a clean sequence of MPEG frames";
        const FrameHeader& e = c.expect;
        bool joint = false, padded = false;
        for (const FrameHeader& h : *frames) {
            ASSERT_TRUE(h.version == e.version && h.layer == 2 && h.bitrate == e.bitrate &&
                        h.sampleRate == e.sampleRate && (h.mode == e.mode || (e.mode == 1 && h.mode == 0)) &&
                        h.crc == e.crc && h.copyright == e.copyright && h.original == e.original &&
                        h.emphasis == e.emphasis)
                << "a frame header differs from the settings";
            joint |= h.mode == 1, padded |= h.padding;
        }
        EXPECT_TRUE(joint == (e.mode == 1) && padded == e.padding);
        const int64_t decoded = DecodeWithMpg123(out, e.mode == 3 ? 1 : 2);
        EXPECT_EQ(decoded, int64_t(frames->size()) * 1152) << "mpg123 could not decode every frame";
        EXPECT_GE(decoded, int64_t(audio.size()) / c.channels);

        // sova-host encode, with the program's option names, from WAV, FLAC or AIFF: the same file.
        const std::string input = dir.File(c.hostContainer == SF_FORMAT_FLAC   ? "input.flac"
                                           : c.hostContainer == SF_FORMAT_AIFF ? "input.aiff" : "input.wav");
        WriteWav(input, audio, c.channels, c.rate, c.hostContainer);
        std::vector<std::string> args{"encode", "-y"};
        args.insert(args.end(), c.hostOptions.begin(), c.hostOptions.end());
        args.insert(args.end(), {input, dir.File("host.mp2")});
        const auto result = Host(args);
        ASSERT_TRUE(result.Succeeded()) << result.out;
        EXPECT_TRUE(ReadBytes(dir.File("host.mp2")) == reference);
        EXPECT_TRUE(Contains(result.out, "output: ") && Contains(result.out, "Audio Layer II"))
            << result.out;
        EXPECT_FALSE(Contains(result.out, "converting") || Contains(result.out, "encoding [")) << result.out;
    }
}

TEST_F(Writer, EverySampleFormatCodeGivesTheConvertedSamples) {
    constexpr int kRate = 44100, kChannels = 2;
    const std::vector<int16_t> audio = TestSignal(2 * kRate, kChannels, kRate);
    const auto reference = [&](const std::vector<int16_t>& expected, const std::string& name) {
        WriteWav(dir.File(name + ".wav"), expected, kChannels, kRate);
        return TwolameReference(dir.File(name + ".wav"), Twolame(), dir.File(name + "-ref.mp2"));
    };
    const auto save = [&](int32_t code, const std::vector<std::vector<uint8_t>>& planes, const std::string& name) {
        const auto result = host.SaveAudio(dir.File(name + ".mp2"), kRate, "", code, planes, 4410);
        EXPECT_TRUE(result.openResult == kResultOK && result.writeResults.empty() && result.closeResult == kResultOK);
        return ReadBytes(dir.File(name + ".mp2"));
    };
    // ConvertToInt16: 24-bit value / 256 and float * 32767 and (u8 - 128) * 255.9921875, truncated toward zero.
    std::vector<int32_t> wide(audio.size());
    std::vector<float> floats(audio.size());
    std::vector<uint8_t> bytes(audio.size());
    std::vector<int16_t> expected24(audio.size()), expectedFloat(audio.size()), expected8(audio.size());
    std::vector<std::vector<uint8_t>> planes24(kChannels); // 3 bytes, least significant first
    for (size_t i = 0; i < audio.size(); ++i) {
        const int32_t v = wide[i] = audio[i] * 256 + static_cast<int32_t>((i * 37) % 256); // negatives round up
        planes24[i % kChannels].insert(planes24[i % kChannels].end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
        expected24[i] = static_cast<int16_t>(v / 256);
        floats[i] = static_cast<float>(audio[i]) / 32768.0f;
        expectedFloat[i] = static_cast<int16_t>(std::trunc(double(floats[i]) * 32767.0));
        bytes[i] = static_cast<uint8_t>((audio[i] >> 8) + 128);
        expected8[i] = static_cast<int16_t>(std::trunc((bytes[i] - 128.0) * 255.9921875));
    }

    EXPECT_TRUE(save(kSampleInt16, Planar(audio, kChannels), "s16") == reference(audio, "s16"));
    const auto reference24 = reference(expected24, "s24"), referenceFloat = reference(expectedFloat, "f32");
    EXPECT_TRUE(save(kSampleInt24, planes24, "s24") == reference24);
    EXPECT_TRUE(save(kSampleFloat32, Planar(floats, kChannels), "f32") == referenceFloat);
    EXPECT_TRUE(save(kSampleUInt8, Planar(bytes, kChannels), "u8") == reference(expected8, "u8"));

    // The same audio read from 24-bit and float WAV files by sova-host and handed over as such.
    WriteWav(dir.File("in24.wav"), wide, kChannels, kRate);
    WriteWav(dir.File("inf.wav"), floats, kChannels, kRate);
    for (const auto& [wav, format, expected] :
         {std::tuple{"in24.wav", "s24", &reference24}, {"inf.wav", "f32", &referenceFloat}}) {
        const auto result = Host({"encode", "-q", "-y", "--format", format, dir.File(wav), dir.File("host.mp2")});
        EXPECT_TRUE(result.Succeeded()) << result.out;
        EXPECT_TRUE(ReadBytes(dir.File("host.mp2")) == *expected) << format;
    }
}

TEST_F(Writer, OpenFailuresShowFixedCode1ForRefusedSettingsAndCode2ForAFileNotCreated) {
    const std::vector<int16_t> audio = TestSignal(10000, 2, 44100);
    const auto tryOpen = [&](const std::string& path, int rate, const std::string& settings, bool conform) {
        host.sink.messages.clear();
        return host.SaveAudio(path, rate, settings, kSampleInt16, Planar(audio, 2), 4096, conform);
    };
    // A folder that does not exist, and a path below a regular file: code 2, nothing created.
    WriteBytes(dir.File("plain"), {1, 2, 3});
    for (const std::string& path : {dir.File("missing/out.mp2"), dir.File("plain/out.mp2")}) {
        const auto save = tryOpen(path, 44100, "", true);
        EXPECT_EQ(save.openResult, kResultFailed);
        EXPECT_EQ(host.sink.messages, std::vector{sovahost::FromUtf8(OpenFailure(2, path))});
        EXPECT_EQ(sovahost::ToUtf8(save.openDescription), "MPEG-1 Audio Layer II, 192 kbps (CBR)");
        EXPECT_FALSE(fs::exists(path));
    }
    // Settings TwoLAME refuses, handed over without negotiation: code 1, and an empty file.
    for (const auto& [rate, settings] : {std::pair{44100, "BitsPerSecond:0:8;"}, {11025, ""},
                                         {44100, "ChannelMode:0:7;"}, {44100, "EmphasisType:0:2;"}}) {
        SCOPED_TRACE(std::to_string(rate) + " " + settings);
        const std::string refused = dir.File("refused.mp2");
        EXPECT_EQ(tryOpen(refused, rate, settings, false).openResult, kResultFailed);
        EXPECT_EQ(host.sink.messages, std::vector{sovahost::FromUtf8(OpenFailure(1, refused))});
        EXPECT_TRUE(fs::exists(refused) && fs::file_size(refused) == 0);
        fs::remove(refused);
    }
    // The MPEG version only describes: one that disagrees with the rate still saves.
    EXPECT_EQ(tryOpen(dir.File("v.mp2"), 44100, "MPEGVersion:0:0;", false).closeResult, kResultOK);

    // sova-host says it in words, naming the file asked for, fails and leaves no file.
    WriteWav(dir.File("in.wav"), audio, 2, 44100);
    auto result = Host({"encode", "-q", "--no-conform", "-b", "8", dir.File("in.wav"), dir.File("host-refused.mp2")});
    EXPECT_EQ(result.ExitCode(), 1);
    EXPECT_TRUE(Contains(result.out, OpenFailure(1, dir.File("host-refused.mp2")))) << result.out;
    EXPECT_FALSE(fs::exists(dir.File("host-refused.mp2")));
    result = Host({"encode", dir.File("in.wav"), dir.File("no/such/folder/x.mp2")});
    EXPECT_EQ(result.ExitCode(), 1);
    EXPECT_TRUE(Contains(result.out, "cannot create a file in '" + dir.File("no/such/folder") + "'")) << result.out;
}

TEST_F(Writer, ReplacesAnExistingFileAndRefusedBlocksLeaveNothingBehind) {
    const std::vector<int16_t> audio = TestSignal(30000, 2, 44100);
    const int64_t frames = 30000;
    WriteWav(dir.File("in.wav"), audio, 2, 44100);
    const auto reference = TwolameReference(dir.File("in.wav"), Twolame(), dir.File("ref.mp2"));
    const std::string out = dir.File("out.mp2");
    WriteBytes(out, std::vector<uint8_t>(300000, 0xAB));

    sovahost::AudioFormat format;
    format.sampleRate = 44100;
    format.channelCount = 2;
    format.sampleFormat = kSampleInt16;
    void* handle = nullptr;
    ASSERT_EQ(host.Open(out, format, handle), kResultOK);
    EXPECT_EQ(fs::file_size(out), 0u) << "the old file must be gone before anything is encoded";

    const auto planes = Planar(audio, 2);
    EXPECT_EQ(host.Write(handle, format, {planes[0]}, 0, frames), kResultMissingArgument) << "one of two buffers";
    for (int64_t count : {int64_t(-1), int64_t(1) << 32, int64_t(1) << 28}) // the last: 2^30 bytes for two channels
        EXPECT_EQ(host.Write(handle, format, planes, 0, count), kResultMissingArgument) << count << " frames";
    format.sampleFormat = 25;
    EXPECT_EQ(host.Write(handle, format, planes, 0, frames), kResultMissingArgument) << "an unknown sample format";
    format.sampleFormat = kSampleInt16;
    EXPECT_EQ(host.Write(handle, format, planes, 0, 0), kResultOK) << "zero frames";
    sovahost::WriteRequest nullBuffer;
    nullBuffer.format = &format;
    nullBuffer.frameCount = frames;
    nullBuffer.buffers = {planes[0].data(), nullptr};
    EXPECT_EQ(host.Call(kSelectorWriteSamples, handle, &nullBuffer), kResultMissingArgument);

    EXPECT_EQ(host.Write(handle, format, planes, 0, 1000), kResultOK);
    EXPECT_EQ(fs::file_size(out), 0u) << "less than a frame encodes nothing";
    EXPECT_EQ(host.Write(handle, format, planes, 1000, frames - 1000), kResultOK);
    EXPECT_EQ(host.Close(handle), kResultOK);
    EXPECT_TRUE(ReadBytes(out) == reference) << "a refused block left samples behind";

    // A writer that never received samples leaves at most what the flush emits.
    ASSERT_EQ(host.Open(out, format, handle), kResultOK);
    EXPECT_EQ(host.Close(handle), kResultOK);
    EXPECT_TRUE(ParseFrames(ReadBytes(out)).has_value());
}

// Someone else in the output folder swaps the new file for a symbolic link between selector 17
// and the first encoded bytes, which reopen the file by name: the link is not followed, the
// framework's file error leaves selector 18, and the file it points at stays untouched.
TEST_F(Writer, AFileSwappedForASymbolicLinkIsNotWrittenThrough) {
    const std::vector<int16_t> audio = TestSignal(44100, 2, 44100);
    const std::string out = dir.File("out.mp2"), outside = dir.File("outside.wav");
    const std::vector<uint8_t> theirs{'R', 'I', 'F', 'F', 0, 1, 2, 3};
    WriteBytes(outside, theirs);
    // The writer is left behind half-way: the child ends without closing it.
    EXPECT_EQ(RaisedInChild(ELOOP, [&](ModuleHost& child) {
                  sovahost::AudioFormat format;
                  format.sampleRate = 44100;
                  format.channelCount = 2;
                  format.sampleFormat = kSampleInt16;
                  void* handle = nullptr;
                  if (child.Open(out, format, handle) != kResultOK) throw std::runtime_error("not opened");
                  fs::remove(out);
                  fs::create_symlink(outside, out);
                  child.Write(handle, format, Planar(audio, 2), 0, 44100);
              }),
              3) << kRaisedCodes;
    EXPECT_EQ(ReadBytes(outside), theirs);
    EXPECT_TRUE(fs::is_symlink(out));
}

// A file-size limit makes the disk "full" at kLimit bytes for one child process.
constexpr rlim_t kLimit = 300000;
void LimitFileSize() {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kLimit, kLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(Writer, AFullDiskRaisesOutOfTheModuleAndKeepsEveryByteWritten) {
    // 30 s at 320 kbit/s is 1.2 MB: more than the 1 MiB stream buffer, so writing reaches the disk.
    const std::vector<int16_t> audio = TestSignal(30 * 44100, 2, 44100);
    const std::vector<std::string> options{"-P", "1", "-o", "-b", "320"};
    WriteWav(dir.File("in.wav"), audio, 2, 44100);
    WriteWav(dir.File("short.wav"), std::vector<int16_t>(audio.begin(), audio.begin() + 2 * 20 * 44100), 2, 44100);
    const auto reference = TwolameReference(dir.File("in.wav"), options, dir.File("ref.mp2"));
    const auto shortReference = TwolameReference(dir.File("short.wav"), options, dir.File("short-ref.mp2"));
    ASSERT_TRUE(reference.size() > 1048576u && shortReference.size() < 1048576u && shortReference.size() > kLimit);
    const auto keptPrefix = [&](const std::string& path, const std::vector<uint8_t>& of) {
        const auto kept = ReadBytes(path);
        return kept.size() == kLimit && std::equal(kept.begin(), kept.end(), of.begin());
    };

    // In a child: the module's exception reaches the host as the framework's file error.
    const std::string out = dir.File("full.mp2");
    EXPECT_EQ(RaisedInChild(EFBIG, [&](ModuleHost& child) {
                  child.SaveAudio(out, 44100, "BitsPerSecond:0:320;", kSampleInt16, Planar(audio, 2), 44100);
              }, LimitFileSize),
              3) << kRaisedCodes;
    EXPECT_TRUE(keptPrefix(out, reference));

    // sova-host reports it in words and fails, leaving no unfinished file; also when the file is
    // small enough to reach the disk only as the streams close at the end, where nothing can be raised.
    const auto onlyInputsLeft = [&] {
        for (const auto& entry : fs::directory_iterator(dir.File("")))
            if (entry.path().extension() != ".wav" && entry.path().filename() != "full.mp2" &&
                entry.path().filename().string().find("ref.mp2") == std::string::npos)
                return false;
        return true;
    };
    for (const char* input : {"in.wav", "short.wav"}) {
        const auto result = Host({"encode", "-b", "320", dir.File(input), dir.File("host-full.mp2")}, LimitFileSize);
        EXPECT_EQ(result.ExitCode(), 1) << result.out;
        EXPECT_TRUE(Contains(result.out, "File too large") && Contains(result.out, "the unfinished file was removed"))
            << result.out;
        EXPECT_TRUE(onlyInputsLeft()) << input;
    }
    EXPECT_TRUE(shortReference.size() > kLimit);
}

TEST(WriterHost, EncodeDrawsAProgressBarOnATerminalOnly) {
    if (!fs::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) to give sova-host a terminal";
    TempDir dir;
    WriteWav(dir.File("in.wav"), TestSignal(5 * 44100, 2, 44100), 2, 44100);
    const std::string command = std::string("'") + SOVA_HOST_PATH + "' --module '" + SOVA_MODULE_PATH + "' encode '" +
                                dir.File("in.wav") + "' '" + dir.File("out.mp2") + "'";
    const auto result = RunProcess({"/usr/bin/script", "-qec", command, "/dev/null"});
    ASSERT_TRUE(result.Succeeded()) << result.out;
    EXPECT_TRUE(Contains(result.out, "encoding [")) << result.out;
    EXPECT_TRUE(Contains(result.out, "] 100%\r\n")) << "the bar ends its own line";
    EXPECT_TRUE(Contains(result.out, "\ndone: ")) << result.out;
}

TEST(WriterHost, EncodeConvertsWhatTheNegotiationChangesAndReportsErrorsInWords) {
    TempDir dir;
    // Six channels at 96000 Hz: the module asks for two channels at 48000 Hz.
    WriteWav(dir.File("six.wav"), TestSignal(96000, 6, 96000), 6, 96000);
    auto result = Host({"encode", dir.File("six.wav"), dir.File("six.mp2")});
    ASSERT_TRUE(result.Succeeded()) << result.out;
    EXPECT_TRUE(Contains(result.out, "output: MPEG-1 Layer II, 192 kbit/s, stereo (automatic), 48000 Hz, 2 channels"))
        << result.out;
    EXPECT_TRUE(Contains(result.out, "the 6-channel source is downmixed to stereo")) << result.out;
    EXPECT_TRUE(Contains(result.out, "96000 Hz is not an MPEG Audio Layer II rate; resampling to 48000 Hz")) << result.out;
    EXPECT_TRUE(Contains(result.out, "with the ITU-R BS.775 matrix")) << result.out;
    auto frames = ParseFrames(ReadBytes(dir.File("six.mp2")));
    ASSERT_TRUE(frames.has_value());
    EXPECT_EQ(frames->front().sampleRate, 48000);
    EXPECT_EQ(DecodeWithMpg123(dir.File("six.mp2"), 2), int64_t(frames->size()) * 1152);
    EXPECT_GE(int64_t(frames->size()) * 1152, 48000);

    // 32 kbit/s mono at 16000 Hz from 44100 Hz: MPEG-2 LSF, handed over as floats.
    WriteWav(dir.File("mono.wav"), TestSignal(44100, 1, 44100), 1, 44100);
    result = Host({"encode", "-b", "32", "--rate", "16000", "--format", "f32", dir.File("mono.wav"), dir.File("low.mp2")});
    ASSERT_TRUE(result.Succeeded()) << result.out;
    EXPECT_TRUE(Contains(result.out, "resampling 44100 Hz to 16000 Hz")) << result.out;
    frames = ParseFrames(ReadBytes(dir.File("low.mp2")));
    ASSERT_TRUE(frames.has_value());
    EXPECT_TRUE(frames->front().version == 2 && frames->front().sampleRate == 16000);
    EXPECT_GT(DecodeWithMpg123(dir.File("low.mp2"), 1), 15000);

    // Errors: words, a non-zero exit.
    result = Host({"encode", dir.File("absent.wav"), dir.File("x.mp2")});
    EXPECT_EQ(result.ExitCode(), 1);
    EXPECT_TRUE(Contains(result.out, "absent.wav' does not exist")) << result.out;
    result = Host({"encode", "--dialog", dir.File("mono.wav"), dir.File("dialog.mp2")},
                  [] { unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY"), unsetenv("QT_QPA_PLATFORM"); });
    EXPECT_EQ(result.ExitCode(), 1);
    EXPECT_TRUE(Contains(result.out, "no display to show the settings dialog on")) << result.out;
    EXPECT_FALSE(fs::exists(dir.File("dialog.mp2")));
    EXPECT_NE(Host({"encode", "--format", "s12", dir.File("mono.wav"), dir.File("x.mp2")}).ExitCode(), 0);
}

TEST(WriterHost, ConvertEncodesEveryFileInParallelAndReportsTheOnesThatFail) {
    TempDir dir;
    std::vector<std::string> args{"convert", "--jobs", "2", "-O", dir.File("out"), "-b", "224"};
    for (int i = 0; i < 4; ++i) {
        args.push_back(dir.File("track" + std::to_string(i) + ".wav"));
        WriteWav(args.back(), TestSignal(44100 + 5000 * i, 2, 44100), 2, 44100);
    }
    WriteBytes(dir.File("broken.wav"), std::vector<uint8_t>(1000, 7));
    args.insert(args.end() - 2, dir.File("broken.wav"));
    fs::create_directory(dir.File("again"));
    fs::copy_file(dir.File("track0.wav"), dir.File("again/track0.wav"));
    args.push_back(dir.File("again/track0.wav")); // would land on out/track0.mp2 as well

    const auto result = Host(args);
    EXPECT_EQ(result.ExitCode(), 1) << result.out;
    EXPECT_TRUE(Contains(result.out, "converted 4 of 6 files")) << result.out;
    EXPECT_TRUE(Contains(result.out, "again/track0.wav FAILED: ")) << result.out;
    EXPECT_TRUE(Contains(result.out, "is saved to the same file")) << result.out;
    EXPECT_TRUE(Contains(result.out, "broken.wav FAILED: ")) << result.out;
    for (const std::string name : {"track0", "track1", "track2", "track3"})
        EXPECT_TRUE(ReadBytes(dir.File("out/" + name + ".mp2")) ==
                    TwolameReference(dir.File(name + ".wav"), Twolame({"-b", "224"}), dir.File(name + "-ref.mp2")))
            << name;
    EXPECT_FALSE(fs::exists(dir.File("out/broken.mp2")));
}
} // namespace
} // namespace writertest
