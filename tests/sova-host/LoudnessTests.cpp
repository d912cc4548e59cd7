// SPDX-License-Identifier: MIT
// Loudness in sova-host, held against ffmpeg's ebur128 filter: `info --loudness` on signals of
// every kind and sample format (MP2 read through the module, other files through libsndfile), and
// `encode --loudness` on programmes loud and quiet, with the decoded output measured by ffmpeg.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace {
namespace fs = std::filesystem;
using hosttest::Contains;
using hosttest::Host;
using hosttest::ReadText;
using testsupport::ProcessRun;
using writertest::TempDir;

using hosttest::Shell;

void Ffmpeg(const std::string& arguments) { Shell("ffmpeg -nostdin -v error -y " + arguments); }

// What ffmpeg's ebur128 filter (with true and sample peaks) says of a file in its summary.
struct Reference {
    double integrated = 0.0, range = 0.0, samplePeak = 0.0, truePeak = 0.0;
};

Reference FfmpegLoudness(const std::string& path) {
    const ProcessRun run = testsupport::RunShell("ffmpeg -nostdin -hide_banner -nostats -i '" + path +
                                                 "' -filter_complex ebur128=peak=true+sample -f null - 2>&1");
    if (!run.Succeeded()) throw std::runtime_error("ffmpeg ebur128 failed on " + path + ": " + run.out);
    const std::string summary = run.out.substr(run.out.rfind("Summary:"));
    const auto number = [&summary](const std::string& label, size_t nth) {
        const std::regex pattern(label + R"(\s+(-?[0-9.]+|-inf))");
        auto match = std::sregex_iterator(summary.begin(), summary.end(), pattern);
        for (size_t i = 0; i < nth; ++i) ++match;
        const std::string text = (*match)[1];
        return text == "-inf" ? -HUGE_VAL : std::stod(text);
    };
    // The summary lists the sample peak before the true peak.
    return {number("I:", 0), number("LRA:", 0), number("Peak:", 0), number("Peak:", 1)};
}

// A number in sova-host's one-line JSON, NaN for null or missing.
double JsonNumber(const std::string& json, const std::string& key) {
    const std::regex pattern("\"" + key + R"(":(-?[0-9.eE+]+|null))");
    std::smatch match;
    if (!std::regex_search(json, match, pattern) || match[1] == "null") return std::nan("");
    return std::stod(match[1]);
}

class Loudness : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return dir.File(name); }
    TempDir dir;
};

// Stereo pink noise, the two channels from different seeds, through the filters `after`.
std::string PinkStereo(int rate, double seconds, double amplitude, const std::string& after = "") {
    const auto one = [&](int seed) {
        return "-f lavfi -i anoisesrc=color=pink:r=" + std::to_string(rate) + ":d=" + std::to_string(seconds) +
               ":a=" + std::to_string(amplitude) + ":seed=" + std::to_string(seed) + " ";
    };
    return one(1) + one(2) + "-filter_complex amerge=inputs=2" + after + " ";
}

TEST_F(Loudness, InfoAgreesWithFfmpegOnSignalsOfEveryKindAndSampleFormat) {
    // Each in another sample format and rate; the MP2s are read through the module.
    const std::map<std::string, std::string> signals = {
        {"pink-s16.wav", PinkStereo(48000, 12, 0.3) + "-c:a pcm_s16le"},
        {"sine-s24.wav", "-f lavfi -i sine=f=997:r=44100:d=8 -af volume=-12dB -c:a pcm_s24le"},
        // Speech-like: noise bursts of uneven length and level with pauses between, for the gates.
        {"bursts-f32.wav", "-f lavfi -i \"aevalsrc='(random(0)*2-1)*0.5*gt(sin(2*PI*0.7*t)+0.4*sin(2*PI*2.3*t),0.3)"
                           "*(0.3+0.7*abs(sin(2*PI*0.11*t)))':s=32000:d=15\" -af highpass=f=150,lowpass=f=3500 -ac 2 "
                           "-c:a pcm_f32le"},
        {"surround-s32.wav", "-f lavfi -i anoisesrc=color=pink:r=48000:d=10:a=0.4:seed=3 -filter_complex "
                             "\"[0]asplit=6[a][b][c][d][e][f];[c]volume=-6dB[cc];[d]volume=-3dB[dd];[e]volume=-10dB[ee];"
                             "[a][b][cc][dd][ee][f]join=inputs=6:channel_layout=5.1\" -c:a pcm_s32le"},
        {"pink-u8.wav", "-f lavfi -i anoisesrc=color=pink:r=22050:d=10:a=0.5 -c:a pcm_u8"},
        {"brown-f64.wav", "-f lavfi -i anoisesrc=color=brown:r=16000:d=10:a=0.6 -ac 2 -c:a pcm_f64le"},
        {"ffmpeg.mp2", PinkStereo(48000, 10, 0.2) + "-c:a mp2 -b:a 192k"},
        // A click, then a tone whose peaks fall between its samples, higher than the click: the
        // true peak is found where the samples alone stay below it.
        {"between-s16.wav", "-f lavfi -i \"aevalsrc='0.6*eq(n,100)+0.65*sin(2*PI*12000*t+PI/4)*gte(t,1)':s=48000:d=4\" "
                            "-c:a pcm_s16le"},
    };
    for (const auto& [name, arguments] : signals) Ffmpeg(arguments + " '" + File(name) + "'");
    // And twolame's MP2 at 32 kHz mono, from a 16-bit sine sweep.
    Ffmpeg("-f lavfi -i \"aevalsrc='0.4*sin(2*PI*(200+300*t)*t)':s=32000:d=8\" -c:a pcm_s16le '" + File("sweep.wav") + "'");
    Shell("twolame --quiet -b 64 -m m '" + File("sweep.wav") + "' '" + File("twolame.mp2") + "'");

    std::vector<std::string> names{"twolame.mp2"};
    for (const auto& entry : signals) names.push_back(entry.first);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Reference reference = FfmpegLoudness(File(name));
        const ProcessRun run = Host({"info", "--loudness", "--json", File(name)});
        ASSERT_TRUE(run.Succeeded()) << run.err;
        EXPECT_NEAR(JsonNumber(run.out, "loudness_lufs"), reference.integrated, 0.3) << run.out;
        // The range rests on few short-term blocks in seconds of audio: ffmpeg's histogram and
        // libebur128's list of blocks part by up to 0.7 LU there.
        EXPECT_NEAR(JsonNumber(run.out, "loudness_range_lu"), reference.range, 1.0) << run.out;
        EXPECT_NEAR(JsonNumber(run.out, "true_peak_dbtp"), reference.truePeak, 0.3) << run.out;
        EXPECT_NEAR(JsonNumber(run.out, "sample_peak_dbfs"), reference.samplePeak, 0.1) << run.out;
    }
    // The text form names the same figures.
    const ProcessRun text = Host({"info", "--loudness", File("twolame.mp2"), File("pink-s16.wav")});
    ASSERT_TRUE(text.Succeeded()) << text.err;
    for (const char* label : {"loudness:", "range:", "true peak:", "sample peak:", "MPEG:", "read with libsndfile"})
        EXPECT_TRUE(Contains(text.out, label)) << text.out;
}

TEST_F(Loudness, SilenceHasNoLoudnessNorGainAndTextThatIsNoAudioIsStillRefused) {
    Ffmpeg("-f lavfi -i anullsrc=r=48000:cl=stereo -t 5 -c:a pcm_s16le '" + File("silence.wav") + "'");
    std::ofstream(File("notes.txt")) << "not audio at all\n";
    const ProcessRun silence = Host({"info", "--loudness", "--json", File("silence.wav")});
    ASSERT_TRUE(silence.Succeeded()) << silence.err;
    EXPECT_TRUE(Contains(silence.out, "\"loudness_lufs\":null")) << silence.out;
    EXPECT_TRUE(Contains(silence.out, "\"true_peak_dbtp\":null")) << silence.out;
    // Silence has no gain to reach a target with: encoded as it is, and said so.
    const ProcessRun encode = Host({"encode", "--loudness", "-23", File("silence.wav"), File("silence.mp2")});
    ASSERT_TRUE(encode.Succeeded()) << encode.err;
    EXPECT_TRUE(Contains(encode.err, "the source is silent")) << encode.err;
    EXPECT_FALSE(Contains(encode.out, "converting:")) << encode.out;
    const ProcessRun text = Host({"info", "--loudness", "--json", File("notes.txt")});
    EXPECT_EQ(text.ExitCode(), 1);
    EXPECT_TRUE(Contains(text.out, "not MPEG audio")) << text.out;
}

// A loud programme: pink noise compressed and limited to about -8 LUFS.
void MakeLoudProgramme(const std::string& path, int rate, double seconds) {
    Ffmpeg(PinkStereo(rate, seconds, 0.5, ",acompressor=threshold=-20dB:ratio=8:makeup=12,alimiter=limit=0.97") +
           "-c:a pcm_s24le '" + path + "'");
}

TEST_F(Loudness, ALoudProgrammeIsBroughtToTheTargetUnderTheCeilingAndSegmentsGiveTheSameBytes) {
    MakeLoudProgramme(File("loud.wav"), 48000, 30);
    const Reference source = FfmpegLoudness(File("loud.wav"));
    ASSERT_GT(source.integrated, -10.0);
    const ProcessRun run = Host({"encode", "--loudness", "-23", "--jobs", "1", File("loud.wav"), File("one.mp2")});
    ASSERT_TRUE(run.Succeeded()) << run.err;
    EXPECT_TRUE(Contains(run.out, "loudness: measured")) << run.out;
    EXPECT_TRUE(Contains(run.out, "decoded: true peak")) << run.out;
    const Reference decoded = FfmpegLoudness(File("one.mp2"));
    EXPECT_NEAR(decoded.integrated, -23.0, 1.0);
    if (decoded.truePeak > -1.0) {
        EXPECT_TRUE(Contains(run.err, "sova-host: warning: the decoded MP2 peaks at")) << run.err;
    } else {
        EXPECT_FALSE(Contains(run.err, "warning")) << run.err;
    }

    // The gain is applied before the samples are cut into segments.
    const ProcessRun parallel = Host({"encode", "--loudness=-23", "--jobs", "3", "--segment-frames", "200",
                                      File("loud.wav"), File("three.mp2")});
    ASSERT_TRUE(parallel.Succeeded()) << parallel.err;
    EXPECT_EQ(ReadText(File("one.mp2")), ReadText(File("three.mp2")));
}

TEST_F(Loudness, AQuietProgrammeWithPeaksStopsAtTheCeilingAndSaysSo) {
    // Quiet on the whole (about -35 LUFS), with a click near full scale every 3 s.
    Ffmpeg("-f lavfi -i \"aevalsrc='0.03*(random(0)*2-1)+0.9*eq(mod(n,132300),1000)':s=44100:d=20\" "
           "-c:a pcm_s16le '" + File("quiet.wav") + "'");
    const ProcessRun run = Host({"encode", "--loudness", "-23", "--true-peak", "-2", File("quiet.wav"), File("quiet.mp2")});
    ASSERT_TRUE(run.Succeeded()) << run.err;
    EXPECT_TRUE(Contains(run.err, "sova-host: warning: the loudness target of -23.0 LUFS is not reached")) << run.err;
    const Reference decoded = FfmpegLoudness(File("quiet.mp2"));
    EXPECT_LT(decoded.integrated, -25.0);
    if (decoded.truePeak > -2.0) {
        EXPECT_TRUE(Contains(run.err, "the decoded MP2 peaks at")) << run.err;
    }
}

TEST_F(Loudness, TheMeasureIsOfWhatTheModuleGetsAfterDownmixAndResampling) {
    // 5.1 at 44.1 kHz, downmixed to stereo and resampled to 48 kHz; and convert hands the target on.
    Ffmpeg("-f lavfi -i anoisesrc=color=pink:r=44100:d=15:a=0.5:seed=4 -filter_complex "
           "\"[0]asplit=6[a][b][c][d][e][f];[a][b][c][d][e][f]join=inputs=6:channel_layout=5.1\" -c:a pcm_f32le '" +
           File("surround.wav") + "'");
    const ProcessRun run = Host({"encode", "--loudness", "-24", "--true-peak", "-2", "--rate", "48000", "--channels", "2",
                                 File("surround.wav"), File("stereo.mp2")});
    ASSERT_TRUE(run.Succeeded()) << run.err;
    EXPECT_NEAR(FfmpegLoudness(File("stereo.mp2")).integrated, -24.0, 1.0);

    fs::create_directory(File("in"));
    fs::copy_file(File("surround.wav"), File("in/surround.wav"));
    const ProcessRun convert =
        Host({"convert", "--loudness", "-18", "--true-peak", "-1", File("in"), "--output-dir", File("out")});
    ASSERT_TRUE(convert.Succeeded()) << convert.out << convert.err;
    EXPECT_NEAR(FfmpegLoudness(File("out/surround.mp2")).integrated, -18.0, 1.0);
}
} // namespace
