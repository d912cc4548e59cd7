// sova-host encode and convert as processes, against the twolame program.
#include <filesystem>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "WriterTestSupport.h"

namespace writertest {
namespace {
namespace fs = std::filesystem;

std::vector<std::string> HostCommand(std::vector<std::string> args) {
    args.insert(args.begin(), {SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH});
    return args;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(WriterHost, EncodeOptionsMeanWhatTheTwolameProgramsOptionsMean) {
    TempDir dir;
    struct Case {
        int rate, channels;
        std::vector<std::string> hostOptions, twolameOptions;
    };
    const std::vector<Case> cases = {
        {44100, 2, {}, {"-P", "1", "-o", "-b", "192"}},
        {44100, 2, {"-m", "j", "-p", "-c", "-b", "192"}, {"-P", "1", "-o", "-m", "j", "-p", "-c", "-b", "192"}},
        {44100, 1, {"-b", "96"}, {"-P", "1", "-o", "-b", "96"}},
        {48000, 2, {"-m", "d", "-b", "256", "-e", "5", "-d", "--original"}, {"-P", "1", "-m", "d", "-b", "256", "-e", "5", "-d"}},
        {22050, 2, {"-b", "40"}, {"-P", "1", "-o", "-b", "40"}},
        {44100, 2, {"-P", "3", "-l", "-2.5", "-e", "c"}, {"-P", "3", "-l", "-2.5", "-o", "-b", "192", "-e", "c"}},
        {44100, 2, {"-E", "--block", "1000"}, {"-P", "1", "-o", "-b", "192", "-E"}},
        {44100, 2, {"--settings", "BitsPerSecond:0:128;Copy:0:1;", "-b", "160"}, {"-P", "1", "-o", "-b", "160", "-c"}},
    };
    for (const Case& c : cases) {
        std::string name;
        for (const auto& option : c.hostOptions) name += option + " ";
        SCOPED_TRACE(name);
        const std::string wav = dir.File("in.wav");
        WriteWav16(wav, TestSignal(2 * c.rate, c.channels, c.rate), c.channels, c.rate);
        const auto reference = TwolameReference(wav, c.twolameOptions, dir.File("ref.mp2"));
        std::vector<std::string> args{"encode"};
        args.insert(args.end(), c.hostOptions.begin(), c.hostOptions.end());
        args.push_back(wav);
        args.push_back(dir.File("out.mp2"));
        const auto result = RunProcess(HostCommand(args));
        ASSERT_TRUE(result.Succeeded()) << result.output;
        EXPECT_TRUE(ReadBytes(dir.File("out.mp2")) == reference);
        EXPECT_TRUE(Contains(result.output, "estimated size: ")) << result.output;
        EXPECT_TRUE(Contains(result.output, "Audio Layer II")) << result.output;
        EXPECT_FALSE(Contains(result.output, "converting")) << result.output;
        EXPECT_FALSE(Contains(result.output, "encoding [")) << "a progress bar without a terminal";
    }
}

TEST(WriterHost, EncodeDrawsAProgressBarOnATerminalOnly) {
    if (!fs::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) to give sova-host a terminal";
    TempDir dir;
    WriteWav16(dir.File("in.wav"), TestSignal(5 * 44100, 2, 44100), 2, 44100);
    std::string command;
    for (const auto& arg : HostCommand({"encode", dir.File("in.wav"), dir.File("out.mp2")})) command += "'" + arg + "' ";
    const auto result = RunProcess({"/usr/bin/script", "-qec", command, "/dev/null"});
    ASSERT_TRUE(result.Succeeded()) << result.output;
    EXPECT_TRUE(Contains(result.output, "encoding [")) << result.output;
    EXPECT_TRUE(Contains(result.output, "] 100%\r\n")) << "the bar ends its own line";
    EXPECT_TRUE(Contains(result.output, "\ndone: ")) << result.output;
}

TEST(WriterHost, EncodeConvertsWhatTheNegotiationChangesAndReportsErrorsInWords) {
    TempDir dir;
    // Six channels at 96000 Hz: the module asks for two channels at 48000 Hz.
    WriteWav16(dir.File("six.wav"), TestSignal(96000, 6, 96000), 6, 96000);
    auto result = RunProcess(HostCommand({"encode", dir.File("six.wav"), dir.File("six.mp2")}));
    ASSERT_TRUE(result.Succeeded()) << result.output;
    EXPECT_TRUE(Contains(result.output, "negotiated: 48000 Hz, 2 channels")) << result.output;
    EXPECT_TRUE(Contains(result.output, "downmixing 6 channels to 2, resampling 96000 Hz to 48000 Hz")) << result.output;
    auto frames = ParseFrames(ReadBytes(dir.File("six.mp2")));
    ASSERT_TRUE(frames.has_value());
    EXPECT_EQ(frames->front().sampleRate, 48000);
    EXPECT_EQ(DecodeWithMpg123(dir.File("six.mp2"), 2), static_cast<int64_t>(frames->size()) * 1152);
    EXPECT_GE(static_cast<int64_t>(frames->size()) * 1152, 48000);

    // 32 kbit/s at 44100 Hz becomes MPEG-2 at 16000 Hz, handed over as floats.
    WriteWav16(dir.File("mono.wav"), TestSignal(44100, 1, 44100), 1, 44100);
    result = RunProcess(HostCommand({"encode", "-b", "32", "--format", "f32", dir.File("mono.wav"), dir.File("low.mp2")}));
    ASSERT_TRUE(result.Succeeded()) << result.output;
    EXPECT_TRUE(Contains(result.output, "resampling 44100 Hz to 16000 Hz")) << result.output;
    frames = ParseFrames(ReadBytes(dir.File("low.mp2")));
    ASSERT_TRUE(frames.has_value());
    EXPECT_EQ(frames->front().version, 2);
    EXPECT_EQ(frames->front().sampleRate, 16000);
    EXPECT_GT(DecodeWithMpg123(dir.File("low.mp2"), 1), 15000);

    // FLAC and AIFF files of the same audio encode exactly as the WAV file does.
    const auto stereo = TestSignal(44100, 2, 44100);
    WriteWav16(dir.File("stereo.wav"), stereo, 2, 44100);
    const auto reference = TwolameReference(dir.File("stereo.wav"), {"-P", "1", "-o", "-b", "192"}, dir.File("ref.mp2"));
    for (const auto& [name, container] : {std::pair{"stereo.flac", SF_FORMAT_FLAC}, {"stereo.aiff", SF_FORMAT_AIFF}}) {
        SCOPED_TRACE(name);
        WriteWav16(dir.File(name), stereo, 2, 44100, container);
        result = RunProcess(HostCommand({"encode", "-q", dir.File(name), dir.File("container.mp2")}));
        ASSERT_TRUE(result.Succeeded()) << result.output;
        EXPECT_TRUE(ReadBytes(dir.File("container.mp2")) == reference);
    }

    // Errors: words on stderr, a non-zero exit.
    result = RunProcess(HostCommand({"encode", dir.File("absent.wav"), dir.File("x.mp2")}));
    EXPECT_EQ(result.ExitCode(), 1);
    EXPECT_TRUE(Contains(result.output, "cannot read")) << result.output;
    result = RunProcess(HostCommand({"encode", dir.File("mono.wav"), dir.File("no/such/folder/x.mp2")}));
    EXPECT_EQ(result.ExitCode(), 1);
    EXPECT_TRUE(Contains(result.output, "Error 2 creating file")) << result.output;
    result = RunProcess(HostCommand({"encode", "--dialog", dir.File("mono.wav"), dir.File("dialog.mp2")}), [] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
    });
    EXPECT_EQ(result.ExitCode(), 1);
    EXPECT_TRUE(Contains(result.output, "no display to show the settings dialog on")) << result.output;
    EXPECT_FALSE(fs::exists(dir.File("dialog.mp2")));
    result = RunProcess(HostCommand({"encode", "--format", "s12", dir.File("mono.wav"), dir.File("x.mp2")}));
    EXPECT_NE(result.ExitCode(), 0);
}

TEST(WriterHost, ConvertEncodesEveryFileInParallelAndReportsTheOnesThatFail) {
    TempDir dir;
    std::vector<std::string> inputs;
    for (int i = 0; i < 4; ++i) {
        inputs.push_back(dir.File("track" + std::to_string(i) + ".wav"));
        WriteWav16(inputs.back(), TestSignal(44100 + 5000 * i, 2, 44100), 2, 44100);
    }
    WriteBytes(dir.File("broken.wav"), std::vector<uint8_t>(1000, 7));
    inputs.insert(inputs.begin() + 2, dir.File("broken.wav"));
    fs::create_directory(dir.File("again"));
    fs::copy_file(inputs[0], dir.File("again/track0.wav"));
    inputs.push_back(dir.File("again/track0.wav")); // would land on out/track0.mp2 as well

    std::vector<std::string> args{"convert", "--jobs", "2", "-O", dir.File("out"), "-b", "224"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const auto result = RunProcess(HostCommand(args));
    EXPECT_EQ(result.ExitCode(), 1) << result.output;
    EXPECT_TRUE(Contains(result.output, "converted 4 of 6 files")) << result.output;
    EXPECT_TRUE(Contains(result.output, "again/track0.wav FAILED: ")) << result.output;
    EXPECT_TRUE(Contains(result.output, "is saved to the same file")) << result.output;
    EXPECT_TRUE(Contains(result.output, "broken.wav FAILED: ")) << result.output;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const std::string name = "track" + std::to_string(i);
        const auto reference =
            TwolameReference(dir.File(name + ".wav"), {"-P", "1", "-o", "-b", "224"}, dir.File(name + "-ref.mp2"));
        EXPECT_TRUE(ReadBytes(dir.File("out/" + name + ".mp2")) == reference);
    }
    EXPECT_FALSE(fs::exists(dir.File("out/broken.mp2")));
}
} // namespace
} // namespace writertest
