// SPDX-License-Identifier: MIT
// sova-host encode on the sources users have and the mistakes they make: 5.1 and mono sources,
// empty, cut-short and broken files, names of other formats, and values the writer cannot use.
// Each case checks what is on disk afterwards and what the user was told.
#include <sys/resource.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <mpg123.h>
#include <sndfile.h>

#include "HostTestSupport.h"

namespace {
namespace fs = std::filesystem;
using hosttest::Contains;
using hosttest::Host;
using hosttest::Probe;
using testsupport::ProcessRun;
using writertest::TempDir;

void Ffmpeg(const std::string& arguments) {
    const auto run = testsupport::RunShell("ffmpeg -nostdin -v error -y " + arguments);
    if (!run.Succeeded()) throw std::runtime_error("ffmpeg " + arguments + ": " + run.err);
}

// RMS level in dB of each channel of a file libsndfile reads (MP2 included), after `skip` frames.
std::vector<double> ChannelLevels(const std::string& path, int64_t skip = 0) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    std::vector<double> sums(static_cast<size_t>(info.channels), 0.0);
    for (sf_count_t f = skip; f < got; ++f)
        for (int c = 0; c < info.channels; ++c) sums[c] += double(samples[f * info.channels + c]) * samples[f * info.channels + c];
    for (double& sum : sums) sum = 10.0 * std::log10(sum / double(got - skip) + 1e-20);
    return sums;
}

class EncodeSources : public ::testing::Test {
protected:
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.File(""))) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir dir;
};

TEST_F(EncodeSources, FiveOneIsDownmixedLikeFfmpegAndTheLineSaysWhichMatrix) {
    // Six different tones in the 5.1 order; the LFE's tone must not reach the file.
    Ffmpeg("-f lavfi -i sine=f=440:d=2 -f lavfi -i sine=f=550:d=2 -f lavfi -i sine=f=660:d=2 -f lavfi -i sine=f=60:d=2 "
           "-f lavfi -i sine=f=770:d=2 -f lavfi -i sine=f=880:d=2 -filter_complex "
           "'[0][1][2][3][4][5]join=inputs=6:channel_layout=5.1[a]' -map '[a]' -ar 48000 " + dir.File("surround.wav"));
    // ffmpeg's own downmix uses the same BS.775 weights; these tones leave room, so no gain is applied.
    Ffmpeg("-i " + dir.File("surround.wav") + " -ac 2 -c:a pcm_f32le " + dir.File("ffmpeg-stereo.wav"));
    const ProcessRun run = Host({"encode", dir.File("surround.wav"), dir.File("surround.mp2")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "downmixing 6 channels (L, R, C, LFE, Ls, Rs) to stereo with the ITU-R BS.775 matrix "
                                  "(centre and surrounds at -3 dB, LFE dropped); the mix peaks at -10.9 dBFS, no gain needed"))
        << run.out;
    EXPECT_TRUE(Contains(run.err, "warning: the 6-channel source is downmixed to stereo")) << run.err;
    const std::vector<double> ours = ChannelLevels(dir.File("surround.mp2"), 2000);
    const std::vector<double> reference = ChannelLevels(dir.File("ffmpeg-stereo.wav"));
    ASSERT_EQ(ours.size(), 2u);
    for (int c = 0; c < 2; ++c) EXPECT_NEAR(ours[c], reference[c], 0.5) << "channel " << c;

    // Loud surrounds: the mix is lowered just enough, the line says by how much, and nothing clips.
    Ffmpeg("-i " + dir.File("surround.wav") + " -af volume=15dB -c:a pcm_f32le " + dir.File("loud.wav"));
    const ProcessRun loud = Host({"encode", dir.File("loud.wav"), dir.File("loud.mp2")});
    ASSERT_EQ(loud.ExitCode(), 0) << loud.err;
    EXPECT_TRUE(Contains(loud.out, "lowered by 4.2 dB because the mix would peak at +4.1 dBFS")) << loud.out;
    EXPECT_FALSE(Contains(loud.err, "clipped")) << loud.err;

    // convert says the same per file.
    const ProcessRun batch = Host({"convert", "-O", dir.File("out"), dir.File("surround.wav")});
    ASSERT_EQ(batch.ExitCode(), 0) << batch.out;
    EXPECT_TRUE(Contains(batch.out, "surround.wav -> " + dir.File("out/surround.mp2")) &&
                Contains(batch.out, "\n  warning: the 6-channel source is downmixed to stereo"))
        << batch.out;

    // The same source to mono: one channel, announced as such.
    const ProcessRun mono = Host({"encode", "--channels", "1", dir.File("surround.wav"), dir.File("mono.mp2")});
    ASSERT_EQ(mono.ExitCode(), 0) << mono.err;
    EXPECT_TRUE(Contains(mono.out, "to mono (the mean of the stereo mix)")) << mono.out;
    EXPECT_EQ(Probe(dir.File("mono.mp2")).mode, MPG123_M_MONO);
}

TEST_F(EncodeSources, AModeAskedForIsWhatTheFileSaysAndWhatIsAnnounced) {
    Ffmpeg("-f lavfi -i sine=f=440:d=1 -ar 24000 -ac 1 " + dir.File("voice.wav"));
    ProcessRun run = Host({"encode", "-m", "j", dir.File("voice.wav"), dir.File("joint.mp2")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "output: MPEG-2 LSF Layer II, 96 kbit/s, joint stereo (frames that need no joint "
                                  "coding are written as stereo), 24000 Hz, 2 channels"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "copying the mono channel to both channels")) << run.out;
    // Identical channels need no joint coding: TwoLAME writes such frames as stereo, as the line says.
    const hosttest::Stream joint = Probe(dir.File("joint.mp2"));
    EXPECT_TRUE((joint.mode == MPG123_M_JOINT || joint.mode == MPG123_M_STEREO) && joint.rate == 24000 &&
                joint.bitrate == 96 && joint.version == 2);
    // A stereo source written as mono says so, and the file is mono.
    Ffmpeg("-f lavfi -i sine=f=440:d=1 -ar 48000 -ac 2 " + dir.File("stereo.wav"));
    run = Host({"encode", "-m", "m", dir.File("stereo.wav"), dir.File("mono.mp2")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "output: MPEG-1 Layer II, 96 kbit/s, mono, 48000 Hz, 1 channel")) << run.out;
    EXPECT_EQ(Probe(dir.File("mono.mp2")).mode, MPG123_M_MONO);
}

TEST_F(EncodeSources, EmptyCutShortAndBrokenSourcesAreRefusedOrWarnedAbout) {
    Ffmpeg("-f lavfi -i sine=f=440:d=1 -ac 1 -c:a pcm_s16le " + dir.File("full.wav"));
    std::vector<uint8_t> bytes = writertest::ReadBytes(dir.File("full.wav"));
    const auto write = [&](const std::string& name, const std::vector<uint8_t>& data) {
        std::ofstream(dir.File(name), std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    };
    write("cut.wav", {bytes.begin(), bytes.begin() + bytes.size() / 2});
    // A header with no samples (a recorder stopped before the first block).
    Ffmpeg("-f lavfi -i sine=f=440:d=1 -ac 1 -t 0 -c:a pcm_s16le " + dir.File("empty.wav"));
    // A float WAV with a NaN in its 1000th sample.
    std::vector<float> floats(4000, 0.25f);
    floats[999] = std::nanf("");
    SF_INFO info{0, 48000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open(dir.File("nan.wav").c_str(), SFM_WRITE, &info);
    sf_write_float(file, floats.data(), static_cast<sf_count_t>(floats.size()));
    sf_close(file);
    // A header that says 1 Hz.
    info = {0, 1, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    file = sf_open(dir.File("onehertz.wav").c_str(), SFM_WRITE, &info);
    const std::vector<short> silence(40000);
    sf_write_short(file, silence.data(), static_cast<sf_count_t>(silence.size()));
    sf_close(file);
    fs::create_directory(dir.File("folder"));
    Ffmpeg("-i " + dir.File("full.wav") + " -c:a aac " + dir.File("song.m4a"));

    const ProcessRun cut = Host({"encode", dir.File("cut.wav"), dir.File("cut.mp2")});
    EXPECT_EQ(cut.ExitCode(), 0) << cut.err;
    EXPECT_TRUE(Contains(cut.err, "warning: '" + dir.File("cut.wav") + "' is cut short: its header promises 44100 samples, "
                                  "the file holds 22"))
        << cut.err;

    const std::vector<std::pair<std::string, std::string>> refused = {
        {"empty.wav", "empty.wav' holds no audio (0 samples)"},
        {"nan.wav", "sample 999 (0.021 s) of channel 1 in '" + dir.File("nan.wav") + "' is NaN"},
        {"onehertz.wav", "says its sample rate is 1 Hz; sova-host reads audio of 1000 Hz or more"},
        {"folder", "folder' is a folder"},
        {"absent.wav", "absent.wav' does not exist"},
        {"song.m4a", "(.m4a) is not read by sova-host; decode it with ffmpeg: ffmpeg -i " + dir.File("song.m4a") +
                         " -f wav - | sova-host encode - " + dir.File("refused.mp2")},
    };
    for (const auto& [name, message] : refused) {
        const ProcessRun run = Host({"encode", "-q", dir.File(name), dir.File("refused.mp2")});
        EXPECT_EQ(run.ExitCode(), 1) << name;
        EXPECT_TRUE(Contains(run.err, message)) << run.err;
        EXPECT_FALSE(fs::exists(dir.File("refused.mp2"))) << name;
    }
    EXPECT_EQ(Files(), (std::vector<std::string>{"cut.mp2", "cut.wav", "empty.wav", "folder", "full.wav", "nan.wav",
                                                 "onehertz.wav", "song.m4a"}));
}

TEST_F(EncodeSources, MemoryStaysBoundedWhenTheRateRatioIsLarge) {
    // 1000 Hz to 48000 Hz: every input sample makes 48 output samples.
    SF_INFO info{0, 1000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* file = sf_open(dir.File("low.wav").c_str(), SFM_WRITE, &info);
    std::vector<short> tone(2 * 1000 * 120);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<short>(8000 * std::sin(i * 0.3));
    sf_write_short(file, tone.data(), static_cast<sf_count_t>(tone.size() / 2));
    sf_close(file);
    const ProcessRun run = Host({"encode", "-q", "--rate", "48000", "--block", "1000000", dir.File("low.wav"), dir.File("low.mp2")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 300 * 1024) << "kB"; // the largest child of this test so far
}

TEST_F(EncodeSources, NamesOfOtherFormatsAndValuesTheWriterCannotUseAreRefusedBeforeAnythingIsWritten) {
    Ffmpeg("-f lavfi -i sine=f=440:d=1 -ar 44100 -ac 2 " + dir.File("in.wav"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"out.flac"}, "out.flac' names a FLAC file, but sova-host encode writes a raw MPEG Audio Layer II stream"},
        {{"out.W64"}, "out.W64' names a Wave64 file"},
        {{"out.mp3"}, "names a MP3 file"},
        {{"--settings", "ChannelMode:0:7;", "out.mp2"},
         "--settings: ChannelMode:0:7; cannot be written (ChannelMode takes -1 automatic, 0 stereo, 1 joint stereo, 2 dual "
         "channel, 3 mono)"},
        {{"--settings", "PAMType:0:3;ATH:0:2143289344;", "out.mp2"}, "ATH:0:2143289344; cannot be written"},
        {{"-P", "3", "-l", "nan", "out.mp2"}, "the ATH level must be a finite number"},
    };
    for (const auto& [arguments, message] : cases) {
        std::vector<std::string> args{"encode", dir.File("in.wav")};
        for (const std::string& argument : arguments) args.push_back(argument.find("out.") == 0 ? dir.File(argument) : argument);
        const ProcessRun run = Host(args);
        EXPECT_NE(run.ExitCode(), 0) << message;
        EXPECT_TRUE(Contains(run.err, message)) << run.err;
        EXPECT_EQ(Files(), std::vector<std::string>{"in.wav"});
    }
    // ffmpeg's way of writing a bitrate is understood.
    const ProcessRun run = Host({"encode", "-b", "128k", dir.File("in.wav"), dir.File("k.mp2")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_EQ(Probe(dir.File("k.mp2")).bitrate, 128);
}
} // namespace

namespace {
TEST_F(EncodeSources, EveryCommandSaysTheSameOfAMissingFileAFolderAndStandardInput) {
    fs::create_directory(dir.File("folder"));
    for (const std::string name : {"absent.wav", "folder"}) {
        const std::string said = name == "folder" ? "'" + dir.File(name) + "' is a folder"
                                                  : "'" + dir.File(name) + "' does not exist";
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"encode", dir.File(name), dir.File("x.mp2")},
              {"decode", dir.File(name), dir.File("x.wav")}, {"info", dir.File(name)}}) {
            const ProcessRun run = Host(args);
            EXPECT_EQ(run.ExitCode(), 1) << args[0];
            EXPECT_TRUE(Contains(run.out + run.err, said)) << args[0] << ": " << run.out << run.err;
        }
    }
    // '-' is standard input for every command that reads a file.
    Ffmpeg("-f lavfi -i sine=f=440:d=1 -ar 48000 -ac 2 " + dir.File("in.wav"));
    ASSERT_EQ(Host({"encode", "-", dir.File("piped.mp2")}, dir.File("in.wav")).ExitCode(), 0);
    const ProcessRun info = Host({"info", "--json", "-"}, dir.File("piped.mp2"));
    EXPECT_EQ(info.ExitCode(), 0) << info.out;
    EXPECT_TRUE(Contains(info.out, "\"path\":\"-\"") && Contains(info.out, "\"sample_rate\":48000")) << info.out;
    const ProcessRun decode = Host({"decode", "-", dir.File("piped.wav")}, dir.File("piped.mp2"));
    EXPECT_EQ(decode.ExitCode(), 0) << decode.err;
    EXPECT_TRUE(fs::exists(dir.File("piped.wav")));
}
} // namespace
