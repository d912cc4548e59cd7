// SPDX-License-Identifier: MIT
// encode and convert with --profile, as a user runs them: each profile's file read back by the
// reference tools (ffprobe's frame layout, libmpg123's stream facts, the header bits of every frame
// ffprobe lists), the options that contradict a profile refused before anything is written, and
// `--profile list`.
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <mpg123.h>

#include "HostTestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace hosttest;

// Every frame of an MPEG audio file, where ffprobe finds it, with the header bits a profile sets.
struct Frame {
    uint64_t size = 0;
    bool crc = false, padded = false;
    int mode = 0; // 0 stereo, 1 joint, 2 dual, 3 mono
};

std::vector<Frame> Frames(const std::string& path) {
    const std::string bytes = ReadText(path);
    const auto run = testsupport::RunProcess(
        {"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "packet=pos,size", "-of", "csv=p=0", path});
    std::vector<Frame> frames;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        const uint64_t size = std::stoull(line.substr(0, line.find(','))), pos = std::stoull(line.substr(line.find(',') + 1));
        if (pos + 4 > bytes.size()) break;
        const auto byte = [&bytes, pos](int i) { return static_cast<uint8_t>(bytes[pos + i]); };
        frames.push_back({size, (byte(1) & 1) == 0, (byte(2) & 2) != 0, byte(3) >> 6});
    }
    return frames;
}

struct Expected {
    int version, rate, bitrate, mode; // mode: libmpg123's, MPG123_M_STEREO ... MPG123_M_MONO
    bool crc;
};

// The file is what the profile promised, in every frame.
void ExpectStream(const std::string& path, const Expected& expected) {
    const Stream stream = Probe(path);
    ASSERT_TRUE(stream.ok) << path;
    EXPECT_EQ(stream.version, expected.version) << path;
    EXPECT_EQ(stream.layer, 2) << path;
    EXPECT_EQ(stream.rate, expected.rate) << path;
    EXPECT_EQ(stream.bitrate, expected.bitrate) << path;
    EXPECT_EQ(stream.mode, expected.mode) << path;
    const std::vector<Frame> frames = Frames(path);
    ASSERT_GT(frames.size(), 10u) << path;
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].crc, expected.crc) << path << " frame " << i;
        EXPECT_FALSE(frames[i].padded) << path << " frame " << i;
        EXPECT_EQ(frames[i].size, frames[0].size) << path << " frame " << i;
        EXPECT_EQ(frames[i].mode, expected.mode) << path << " frame " << i;
    }
}

class Profiles : public ::testing::Test {
protected:
    void SetUp() override {
        MakeAudio(dir.File("stereo48.wav"), 48000, 2);
        MakeAudio(dir.File("stereo44.wav"), 44100, 2);
        MakeAudio(dir.File("mono22.wav"), 22050, 1);
    }
    HostRun Encode(const std::vector<std::string>& options, const std::string& in, const std::string& out) {
        std::vector<std::string> args{"encode"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {dir.File(in), dir.File(out)});
        return Host(args);
    }
    TempDir dir;
};

TEST_F(Profiles, EachProfileWritesWhatItsDeliveryTakesInEveryFrame) {
    struct Case {
        std::vector<std::string> options;
        const char* in;
        Expected expected;
    };
    const std::vector<Case> cases = {
        // PRSS: 44.1 kHz from any source, 256 kbit/s stereo or 128 mono, the mode written out, no padding.
        {{"--profile", "prss"}, "stereo48.wav", {1, 44100, 256, MPG123_M_STEREO, false}},
        {{"--profile", "prss"}, "mono22.wav", {1, 44100, 128, MPG123_M_MONO, false}},
        {{"--profile", "prss", "-m", "m"}, "stereo44.wav", {1, 44100, 128, MPG123_M_MONO, false}},
        // DAB: 48 kHz MPEG-1 or 24 kHz MPEG-2 LSF, a CRC in every frame, any mode and bitrate.
        {{"--profile", "dab"}, "stereo44.wav", {1, 48000, 192, MPG123_M_STEREO, true}},
        {{"--profile", "dab", "-b", "128", "-m", "d"}, "stereo48.wav", {1, 48000, 128, MPG123_M_DUAL, true}},
        {{"--profile", "dab", "--rate", "24000", "-b", "64"}, "mono22.wav", {2, 24000, 64, MPG123_M_MONO, true}},
        // DVB: 48 kHz.
        {{"--profile", "dvb", "-b", "224"}, "stereo44.wav", {1, 48000, 224, MPG123_M_STEREO, false}},
    };
    for (const Case& c : cases) {
        const std::string out = "out.mp2";
        fs::remove(dir.File(out));
        const HostRun run = Encode(c.options, c.in, out);
        ASSERT_EQ(run.ExitCode(), 0) << c.in << " " << c.options[1] << ": " << run.err;
        EXPECT_TRUE(Contains(run.out, "\nprofile: " + c.options[1] + ", ")) << run.out;
        ExpectStream(dir.File(out), c.expected);
    }
    // convert hands the profile to each file's encode.
    const HostRun run = Host({"convert", "--profile", "prss", "-O", dir.File("out"), dir.File("stereo48.wav"), dir.File("mono22.wav")});
    ASSERT_EQ(run.ExitCode(), 0) << run.out << run.err;
    ExpectStream(dir.File("out/stereo48.mp2"), {1, 44100, 256, MPG123_M_STEREO, false});
    ExpectStream(dir.File("out/mono22.mp2"), {1, 44100, 128, MPG123_M_MONO, false});
}

TEST_F(Profiles, OptionsThatContradictAProfileAreRefusedBeforeAnythingIsWritten) {
    const std::string prss = "--profile prss: PRSS ContentDepot (US public radio), broadcast-quality MP2 takes ";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--profile", "prss", "-b", "192"},
         "-b 192 contradicts " + prss + "128 kbit/s mono, 256 kbit/s stereo (source: PRSS ContentDepot file formats "
                                        "(prss.org/file-formats))"},
        {{"--profile", "prss", "--rate", "48000"}, "--rate 48000 contradicts " + prss + "44100 Hz (MPEG-1)"},
        {{"--profile", "prss", "-m", "j"}, "-m j contradicts " + prss + "stereo or mono"},
        {{"--profile", "prss", "-d"}, "-d contradicts " + prss + "padding off"},
        {{"--profile", "prss", "--settings", "BitsPerSecond:0:320;"}, "--settings BitsPerSecond:0:320 contradicts --profile prss"},
        // Known only once the channels are: PRSS's mono bitrate for a stereo file.
        {{"--profile", "prss", "-b", "128"}, "128 kbit/s (-b) in stereo contradicts " + prss + "256 kbit/s in stereo"},
        {{"--profile", "dab", "--rate", "44100"},
         "--rate 44100 contradicts --profile dab: DAB digital radio, MPEG Layer II takes 48000 Hz (MPEG-1) or 24000 Hz "
         "(MPEG-2 LSF) (source: ETSI TS 103 466"},
        {{"--profile", "dab", "--settings", "CRC:0:0;"}, "--settings CRC:0:0 contradicts --profile dab"},
        {{"--profile", "dvb", "--rate", "32000"}, "not confirmed in the document's own text"},
        {{"--profile", "dab", "--dialog"}, "--dialog cannot be used with --profile dab"},
        {{"--profile", "ebu", "--loudness", "-16"}, "--loudness -16 contradicts --profile ebu: EBU R 128 loudness, any rate "
                                                    "and bitrate takes -23 LUFS integrated (± 1 LU) (source: EBU R 128"},
        {{"--profile", "prss", "--true-peak", "-0.5"}, "--true-peak -0.5 contradicts " + prss + "a true peak of at most -2 dBTP"},
    };
    for (const auto& [options, message] : cases) {
        const HostRun run = Encode(options, "stereo44.wav", "refused.mp2");
        // A command line that contradicts itself is a usage error; a source it does not fit, a failed job.
        const int status = Contains(message, "(-b) in stereo") ? 1 : 2;
        EXPECT_EQ(run.ExitCode(), status) << options[1] << " " << options[2] << ": " << run.err;
        EXPECT_TRUE(Contains(run.err, message)) << run.err;
        EXPECT_FALSE(fs::exists(dir.File("refused.mp2")));
    }
    // Several contradictions: each one named.
    HostRun run = Encode({"--profile", "prss", "-b", "192", "-d"}, "stereo44.wav", "refused.mp2");
    EXPECT_TRUE(Contains(run.err, "-b 192 contradicts") && Contains(run.err, "-d contradicts")) << run.err;
    // A name no profile has is a usage error that lists the profiles.
    run = Encode({"--profile", "dab+"}, "stereo44.wav", "refused.mp2");
    EXPECT_EQ(run.ExitCode(), 2);
    EXPECT_TRUE(Contains(run.err, "no delivery profile 'dab+' (profiles: dab, dvb, ebu, prss")) << run.err;
    // convert refuses once, before any file.
    run = Host({"convert", "--profile", "prss", "-b", "192", "-O", dir.File("out"), dir.File("stereo44.wav")});
    EXPECT_EQ(run.ExitCode(), 2);
    EXPECT_TRUE(Contains(run.out + run.err, "-b 192 contradicts --profile prss")) << run.out << run.err;
    EXPECT_FALSE(fs::exists(dir.File("out/stereo44.mp2")));
}

// ffmpeg's ebur128 summary of a file: integrated loudness (LUFS) and true peak (dBTP).
std::pair<double, double> FfmpegLoudnessAndTruePeak(const std::string& path) {
    const HostRun run = testsupport::RunProcess(
        {"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-i", path, "-af", "ebur128=peak=true", "-f", "null", "-"});
    const std::string summary = run.err.substr(run.err.rfind("Summary:"));
    const auto after = [&summary](const std::string& label) {
        return std::stod(summary.substr(summary.find(label) + label.size()));
    };
    return {after("I:"), after("Peak:")};
}

TEST_F(Profiles, AProfilesLoudnessIsReachedAsFfmpegMeasuresTheDecodedFile) {
    // Loud stereo pink noise, the channels from different seeds.
    const testsupport::ProcessRun made = testsupport::RunProcess(
        {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "anoisesrc=color=pink:r=48000:d=8:a=0.5:seed=1",
         "-f", "lavfi", "-i", "anoisesrc=color=pink:r=48000:d=8:a=0.5:seed=2", "-filter_complex", "amerge=inputs=2",
         dir.File("loud.wav")});
    ASSERT_TRUE(made.Succeeded()) << made.err;
    for (const auto& [profile, target, ceiling] : {std::tuple{"ebu", -23.0, -1.0}, std::tuple{"prss", -24.0, -2.0}}) {
        const std::string out = std::string(profile) + ".mp2";
        const HostRun run = Encode({"--profile", profile}, "loud.wav", out);
        ASSERT_EQ(run.ExitCode(), 0) << profile << ": " << run.err;
        const auto [integrated, truePeak] = FfmpegLoudnessAndTruePeak(dir.File(out));
        EXPECT_NEAR(integrated, target, 1.0) << profile;
        EXPECT_LE(truePeak, ceiling) << profile;
    }
}

// Programme with silence at each end (PRSS asks for half a second), loud enough for a gain to matter.
void MakeProgramme(const std::string& path, int rate, int channels) {
    const testsupport::ProcessRun made = testsupport::RunProcess(
        {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
         "sine=f=440:r=" + std::to_string(rate) + ":d=3,volume=-6dB,adelay=700:all=1,apad=pad_dur=0.7", "-ac",
         std::to_string(channels), "-c:a", "pcm_s16le", path});
    if (!made.Succeeded()) throw std::runtime_error("ffmpeg failed: " + made.err);
}

TEST_F(Profiles, EachProfilesOutputPassesCheckOfTheSameProfileAndOtherFilesFailNamingTheRequirement) {
    MakeProgramme(dir.File("programme.wav"), 48000, 2);
    for (const char* profile : {"dab", "dvb", "ebu", "prss"}) {
        const std::string out = std::string(profile) + ".mp2";
        HostRun run = Encode({"--profile", profile}, "programme.wav", out);
        ASSERT_EQ(run.ExitCode(), 0) << profile << ": " << run.err;
        run = Host({"check", "--profile", profile, dir.File(out)});
        EXPECT_EQ(run.ExitCode(), 0) << profile << ":\n" << run.out << run.err;
    }
    // A file made for one delivery, checked for another: each requirement it misses is named.
    HostRun run = Host({"check", "--profile", "prss", dir.File("dab.mp2")});
    EXPECT_EQ(run.ExitCode(), 1);
    for (const char* missed : {"--profile prss: rate 44100 Hz (MPEG-1): the file: 48000 Hz",
                               "--profile prss: bitrate 128 kbit/s mono, 256 kbit/s stereo: the file: 192 kbit/s"})
        EXPECT_TRUE(Contains(run.out, missed)) << missed << "\n" << run.out;
    run = Host({"check", "--profile", "dab", dir.File("dvb.mp2")});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.out, "--profile dab: CRC on: the file: no frame has a CRC")) << run.out;
    run = Host({"check", "--profile", "list"});
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_TRUE(Contains(run.out, "prss: PRSS ContentDepot")) << run.out;

    // The loudness is judged once, by the profile: --loudness may repeat its target, not change it.
    run = Host({"check", "--profile", "ebu", "--loudness", "-23", dir.File("dab.mp2")});
    EXPECT_EQ(run.ExitCode(), 1) << run.out; // the DAB file was not brought to -23 LUFS
    EXPECT_TRUE(Contains(run.out, "(target -23.0 ± 1.0)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "--profile ebu: loudness -23 LUFS")) << run.out;
    EXPECT_FALSE(Contains(run.out, "FAILED:    integrated loudness")) << run.out;
    run = Host({"check", "--profile", "prss", "--loudness", "-23", dir.File("prss.mp2")});
    EXPECT_EQ(run.ExitCode(), 2);
    EXPECT_TRUE(Contains(run.err, "contradicts --profile prss, which checks -24 LUFS ± 2 LU")) << run.err;
}

TEST_F(Profiles, ProfileListNamesEveryProfileAndTheSourceOfEachValue) {
    for (const char* command : {"encode", "convert"}) {
        const HostRun run = Host({command, "--profile", "list"}); // no input needed
        EXPECT_EQ(run.ExitCode(), 0) << command << ": " << run.err;
        for (const char* line : {"dab: DAB digital radio, MPEG Layer II\n", "dvb: DVB television audio, MPEG-1 Layer II\n",
                                 "ebu: EBU R 128 loudness, any rate and bitrate\n",
                                 "prss: PRSS ContentDepot (US public radio), broadcast-quality MP2\n",
                                 "  loudness: -23 LUFS integrated (± 1 LU)\n      source: EBU R 128",
                                 "  bitrate: 128 kbit/s mono, 256 kbit/s stereo\n      source: PRSS ContentDepot file formats",
                                 "  CRC: on\n      source: ETSI TS 103 466"})
            EXPECT_TRUE(Contains(run.out, line)) << command << ": " << line << "\n" << run.out;
    }
}
} // namespace
