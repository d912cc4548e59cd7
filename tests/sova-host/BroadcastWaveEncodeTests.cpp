// SPDX-License-Identifier: MIT
// encode to a broadcast WAV file, as playout systems ingest MP2: the data chunk holds the very
// frames of the raw MP2 of the same encode; ffprobe reads the file as mp2 with its duration; mpg123
// and sova-host decode it sample for sample as the raw MP2; the source's bext or LIST INFO text
// carries over; a failed or refused job leaves no file.
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "HostTestSupport.h"

namespace {
namespace fs = std::filesystem;
using hosttest::Contains;
using hosttest::Host;
using hosttest::Listing;
using hosttest::ReadText;
using testsupport::ProcessRun;
using writertest::TempDir;

using hosttest::Shell;

std::string ShellOut(const std::string& command) {
    const auto run = testsupport::RunShell(command);
    if (!run.Succeeded()) throw std::runtime_error(command + ": " + run.err);
    return run.out;
}

// The data chunk's bytes of a RIFF/WAVE file.
std::string DataChunk(const std::string& path) {
    const std::string file = ReadText(path);
    for (size_t at = 12; at + 8 <= file.size();) {
        const auto size = static_cast<uint32_t>(static_cast<uint8_t>(file[at + 4]) | static_cast<uint8_t>(file[at + 5]) << 8 |
                                                static_cast<uint8_t>(file[at + 6]) << 16 |
                                                static_cast<uint32_t>(static_cast<uint8_t>(file[at + 7])) << 24);
        if (file.compare(at, 4, "data") == 0) return file.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return {};
}

class BroadcastWaveEncode : public ::testing::Test {
protected:
    // Two tones, `seconds` long, at `rate`, stereo 16-bit.
    std::string Source(int rate, double seconds = 3.0, const std::string& extra = "") {
        const std::string path = dir.File("source-" + std::to_string(rate) + ".wav");
        Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'sine=f=440:r=" + std::to_string(rate) + ":d=" + std::to_string(seconds) +
              "' -f lavfi -i 'sine=f=660:r=" + std::to_string(rate) + ":d=" + std::to_string(seconds) +
              "' -filter_complex amerge -c:a pcm_s16le " + extra + " '" + path + "'");
        return path;
    }
    ProcessRun Encode(std::vector<std::string> args) {
        args.insert(args.begin(), "encode");
        return Host(args);
    }
    std::string Info(const std::string& path) { return Host({"info", "--json", path}).out; }
    TempDir dir;
};

TEST_F(BroadcastWaveEncode, HoldsTheRawFramesAndEveryReaderDecodesThemAlike) {
    const std::string source = Source(48000);
    for (const std::vector<std::string>& options :
         std::vector<std::vector<std::string>>{{"-b", "256"}, {"-b", "128", "-m", "m", "-p"}, {"-b", "192", "-m", "j", "-c", "-E"}}) {
        SCOPED_TRACE(options.front() + " " + options[1]);
        const std::string mp2 = dir.File("raw.mp2"), wav = dir.File("wrapped.wav");
        std::vector<std::string> raw = options, wrapped = options;
        raw.insert(raw.end(), {source, mp2});
        wrapped.insert(wrapped.end(), {source, wav});
        fs::remove(mp2);
        fs::remove(wav);
        ASSERT_EQ(Encode(raw).ExitCode(), 0);
        const ProcessRun run = Encode(wrapped);
        ASSERT_EQ(run.ExitCode(), 0) << run.err;
        const std::string frames = ReadText(mp2);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(DataChunk(wav), frames) << "the data chunk holds the raw MP2's frames";
        EXPECT_EQ(ReadText(wav).substr(0, 4), "RIFF");

        // ffprobe: an mp2 stream as long as the frames (3 * kbit/s bytes each at 48 kHz).
        const std::string probe = ShellOut("ffprobe -v error -show_entries stream=codec_name,sample_rate,duration -of "
                                           "default=nw=1 '" + wav + "'");
        EXPECT_TRUE(Contains(probe, "codec_name=mp2")) << probe;
        EXPECT_TRUE(Contains(probe, "sample_rate=48000")) << probe;
        const double frameSeconds = 1152.0 / 48000;
        const size_t frameCount = frames.size() / (3 * std::stoul(options[1]));
        const double seconds = std::stod(probe.substr(probe.find("duration=") + 9));
        EXPECT_NEAR(seconds, static_cast<double>(frameCount) * frameSeconds, frameSeconds) << probe;

        // mpg123's own command-line decoder, and sova-host through the module: sample-identical.
        EXPECT_EQ(ShellOut("mpg123 -q -s '" + wav + "'"), ShellOut("mpg123 -q -s '" + mp2 + "'"));
        for (const std::string& input : {mp2, wav})
            ASSERT_EQ(Host({"-y", "decode", input, dir.File(fs::path(input).stem().string() + ".f32")}).ExitCode(), 0);
        EXPECT_EQ(ReadText(dir.File("wrapped.f32")), ReadText(dir.File("raw.f32")));

        // info: the same stream, undamaged, with the chunks' facts.
        const std::string json = Info(wav);
        EXPECT_TRUE(Contains(json, "\"container\":\"broadcast WAV\"")) << json;
        EXPECT_TRUE(Contains(json, "\"damaged\":false")) << json;
        EXPECT_TRUE(Contains(json, "\"mext_homogeneous\":true")) << json;
        EXPECT_TRUE(Contains(json, "\"bext_version\":2")) << json;
        EXPECT_TRUE(Contains(json, "A=MPEG1L2,F=48000,B=" + options[1] + ",M=")) << json;
        // TwoLAME reserves 40 ancillary bits for -E in stereo (twolame --verbose -E says so).
        const bool energy = std::find(options.begin(), options.end(), "-E") != options.end();
        EXPECT_TRUE(Contains(json, energy ? "\"mext_ancillary_bytes\":5" : "\"mext_ancillary_bytes\":0")) << json;
    }
}

TEST_F(BroadcastWaveEncode, At44100PaddingStaysOffUnlessAskedAndMextSaysWhich) {
    const std::string source = Source(44100);
    ProcessRun run = Encode({"-b", "192", source, dir.File("even.wav")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "padding: off")) << run.out;
    std::string json = Info(dir.File("even.wav"));
    EXPECT_TRUE(Contains(json, "\"mext_homogeneous\":true")) << json;
    EXPECT_TRUE(Contains(json, "\"mext_frame_size\":626")) << json; // 144 * 192000 / 44100

    run = Encode({"-b", "192", "-d", source, dir.File("padded.wav")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "padding: on, as asked")) << run.out;
    json = Info(dir.File("padded.wav"));
    EXPECT_TRUE(Contains(json, "\"mext_homogeneous\":false")) << json;
    EXPECT_TRUE(Contains(json, "\"mext_padding_never_used\":false")) << json;
    EXPECT_TRUE(Contains(json, "\"damaged\":false")) << json;
    ASSERT_EQ(Encode({"-b", "192", "-d", source, dir.File("padded.mp2")}).ExitCode(), 0);
    EXPECT_EQ(ShellOut("mpg123 -q -s '" + dir.File("padded.wav") + "'"), ShellOut("mpg123 -q -s '" + dir.File("padded.mp2") + "'"));

    // At 48 kHz no frame is ever padded: nothing to say.
    run = Encode({Source(48000, 1.0), dir.File("at48.wav")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_FALSE(Contains(run.out, "padding:")) << run.out;
}

TEST_F(BroadcastWaveEncode, SegmentsJoinIntoTheSameFrames) {
    const std::string source = Source(48000, 12.0);
    ASSERT_EQ(Encode({"--jobs", "1", source, dir.File("one.wav")}).ExitCode(), 0);
    const ProcessRun run = Encode({"--jobs", "3", "--segment-frames", "100", "-v", source, dir.File("three.wav")});
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_EQ(DataChunk(dir.File("three.wav")), DataChunk(dir.File("one.wav")));
    EXPECT_FALSE(DataChunk(dir.File("one.wav")).empty());
}

// A named pipe is read once: the broadcast WAV file is written without looking into the pipe again
// for a bext to carry over (which waited for a writer that had gone: sova-host never ended).
TEST_F(BroadcastWaveEncode, ANamedPipeIsReadOnce) {
    const std::string source = Source(48000, 4.0), fifo = dir.File("feed.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(Encode({source, dir.File("file.wav")}).ExitCode(), 0);
    const ProcessRun run = testsupport::RunShell("cat '" + source + "' > '" + fifo + "' & timeout 60 '" SOVA_HOST_PATH "' --module '" +
                                                 SOVA_MODULE_PATH "' -q encode '" + fifo + "' '" + dir.File("pipe.wav") + "'");
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_EQ(DataChunk(dir.File("pipe.wav")), DataChunk(dir.File("file.wav")));
}

TEST_F(BroadcastWaveEncode, TheSourcesBextOrListInfoCarriesOverWhereNoOptionOverridesIt) {
    // A broadcast WAV source with its own bext chunk, written by libsndfile.
    const std::string source = dir.File("programme.wav");
    {
        SF_INFO info{0, 48000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0, 0};
        SNDFILE* file = sf_open(source.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        SF_BROADCAST_INFO bext{};
        std::snprintf(bext.description, sizeof bext.description, "%s", "Evening concert, part 2");
        std::snprintf(bext.originator, sizeof bext.originator, "%s", "Studio 4");
        std::snprintf(bext.originator_reference, sizeof bext.originator_reference, "%s", "S4-0042");
        std::memcpy(bext.origination_date, "2026-11-30", 10);
        std::memcpy(bext.origination_time, "20:15:00", 8);
        bext.time_reference_low = 48000u * 3600;
        const char history[] = "A=PCM,F=48000,W=24,M=stereo,T=desk\r\n";
        std::memcpy(bext.coding_history, history, sizeof history - 1);
        bext.coding_history_size = sizeof history - 1;
        ASSERT_EQ(sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE);
        std::vector<int> samples(2 * 48000 * 2);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int>(2e8 * std::sin(i * 0.05));
        sf_writef_int(file, samples.data(), 48000 * 2);
        sf_close(file);
    }
    ASSERT_EQ(Encode({source, dir.File("kept.wav")}).ExitCode(), 0);
    std::string json = Info(dir.File("kept.wav"));
    EXPECT_TRUE(Contains(json, "\"bext_description\":\"Evening concert, part 2\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_originator\":\"Studio 4\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_originator_reference\":\"S4-0042\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_origination_date\":\"2026-11-30\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_time_reference\":172800000")) << json;
    // The source's history (libsndfile adds its own line to the desk's), then this encode's.
    const size_t desk = json.find("A=PCM,F=48000,W=24,M=stereo,T=desk\\u000d\\u000a");
    const size_t ours = json.find("A=MPEG1L2,F=48000,B=192,M=STEREO,T=sova-host ");
    EXPECT_TRUE(desk != std::string::npos && ours != std::string::npos && desk < ours) << json;

    // The options win; resampled to 32 kHz, the time reference keeps its time.
    ASSERT_EQ(Encode({"--description", "Concert (edited)", "--originator-reference", "S4-0042-E", "--rate", "32000", source,
                      dir.File("edited.wav")})
                  .ExitCode(),
              0);
    json = Info(dir.File("edited.wav"));
    EXPECT_TRUE(Contains(json, "\"bext_description\":\"Concert (edited)\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_originator\":\"Studio 4\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_originator_reference\":\"S4-0042-E\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_time_reference\":115200000")) << json;

    // A plain WAV with LIST INFO (ffmpeg writes ICMT and IART): the comment and artist carry over.
    const std::string tagged = Source(48000, 1.0, "-metadata comment='Station ident' -metadata artist='Radio Sova'");
    ASSERT_EQ(Encode({tagged, dir.File("ident.wav")}).ExitCode(), 0);
    json = Info(dir.File("ident.wav"));
    EXPECT_TRUE(Contains(json, "\"bext_description\":\"Station ident\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_originator\":\"Radio Sova\"")) << json;
}

TEST_F(BroadcastWaveEncode, RefusalsAndFailuresLeaveNoFile) {
    const std::string source = Source(48000, 1.0);
    const auto before = Listing(dir);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--description", std::string(257, 'x'), source, dir.File("long.wav")}, "--description is 257 bytes long"},
        {{"--originator", "Caf\xc3\xa9", source, dir.File("accent.wav")}, "--originator may hold only printable ASCII"},
        {{"--description", "News", source, dir.File("raw.mp2")}, "a raw MP2 has none"},
        {{"--container", "mp2", source, dir.File("named.wav")}, "names a WAV file"},
    };
    for (const auto& [args, message] : cases) {
        const ProcessRun run = Encode(args);
        EXPECT_EQ(run.ExitCode(), 1) << message;
        EXPECT_TRUE(Contains(run.err, message)) << run.err;
        EXPECT_EQ(Listing(dir), before);
    }
    // A folder it cannot write in: a clear message, and nothing left anywhere.
    if (geteuid() != 0) {
        fs::create_directory(dir.File("locked"));
        chmod(dir.File("locked").c_str(), 0500);
        const ProcessRun run = Encode({source, dir.File("locked/out.wav")});
        EXPECT_EQ(run.ExitCode(), 1);
        EXPECT_TRUE(Contains(run.err, "locked")) << run.err;
        chmod(dir.File("locked").c_str(), 0700);
        EXPECT_TRUE(fs::is_empty(dir.File("locked")));
    }
    // A file size limit that the frames fit in but the WAV file around them does not: the wrap
    // fails in words, and neither the frames nor the WAV file are left.
    ASSERT_EQ(Encode({"-b", "256", source, dir.File("sized.mp2")}).ExitCode(), 0);
    const auto frameBytes = static_cast<rlim_t>(fs::file_size(dir.File("sized.mp2")));
    fs::remove(dir.File("sized.mp2"));
    const auto limited = [frameBytes] {
        const rlimit limit{frameBytes + 100, frameBytes + 100};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const ProcessRun cut = testsupport::RunProcess(hosttest::HostCommand({"encode", "-b", "256", source, dir.File("sized.wav")}),
                                                   hosttest::NoDisplay("/dev/null", limited));
    EXPECT_EQ(cut.ExitCode(), 1) << cut.status << cut.err;
    EXPECT_TRUE(Contains(cut.err, "File too large")) << cut.err;
    EXPECT_EQ(Listing(dir), before);

    // Standard output with --container bwf: a whole WAV file.
    const ProcessRun piped = Encode({"--container", "bwf", source, "-"});
    ASSERT_EQ(piped.ExitCode(), 0) << piped.err;
    EXPECT_EQ(piped.out.substr(0, 4), "RIFF");
    EXPECT_EQ(piped.out.substr(8, 4), "WAVE");
}
} // namespace

namespace {
TEST_F(BroadcastWaveEncode, ConvertWritesWavFilesWithTheOptionsOfEach) {
    const std::string source = Source(48000, 1.0);
    const ProcessRun run = Host({"convert", "--container", "bwf", "--originator", "Radio Sova", "-O", dir.File("out"), source});
    ASSERT_EQ(run.ExitCode(), 0) << run.out << run.err;
    const std::string json = Info(dir.File("out/source-48000.wav"));
    EXPECT_TRUE(Contains(json, "\"container\":\"broadcast WAV\"")) << json;
    EXPECT_TRUE(Contains(json, "\"bext_originator\":\"Radio Sova\"")) << json;
}
} // namespace

namespace {
// A figure of ffmpeg's ebur128 summary ("I:", "LRA:", "Peak:") after its heading.
double FfmpegFigure(const std::string& summary, const std::string& heading, const std::string& label) {
    const size_t at = summary.find(label, summary.rfind(heading));
    return std::stod(summary.substr(at + label.size()));
}

// The bext loudness fields hold the loudness of what was encoded, as ffmpeg's ebur128 measures
// the source (no gain here: the module is handed the source's samples).
TEST_F(BroadcastWaveEncode, StoresTheLoudnessFfmpegMeasures) {
    const std::string source = dir.File("speechlike.wav");
    Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'sine=f=300:d=12,volume=0.3' -f lavfi -i "
          "'anoisesrc=d=12:c=pink:a=0.05:seed=7' -filter_complex 'amerge,volume=enable=between(t\\,4\\,8):volume=0.25' "
          "-ar 48000 -c:a pcm_s16le '" + source + "'");
    ASSERT_EQ(Encode({source, dir.File("measured.wav")}).ExitCode(), 0);
    const std::string json = Info(dir.File("measured.wav"));
    const auto stored = [&json](const std::string& key) {
        const size_t at = json.find("\"" + key + "\":");
        return at == std::string::npos ? std::nan("") : std::stod(json.substr(at + key.size() + 3));
    };
    const std::string summary = testsupport::RunShell("ffmpeg -nostdin -nostats -i '" + source +
                                                      "' -af ebur128=peak=true -f null - 2>&1").out;
    EXPECT_NEAR(stored("bext_loudness_lufs"), FfmpegFigure(summary, "Integrated loudness:", "I:"), 0.3) << json;
    EXPECT_NEAR(stored("bext_loudness_range_lu"), FfmpegFigure(summary, "Loudness range:", "LRA:"), 1.0) << json;
    EXPECT_NEAR(stored("bext_true_peak_dbtp"), FfmpegFigure(summary, "True peak:", "Peak:"), 0.3) << json;
    EXPECT_LT(stored("bext_max_short_term_lufs"), stored("bext_max_momentary_lufs") + 0.01) << json;
    EXPECT_GT(stored("bext_max_short_term_lufs"), stored("bext_loudness_lufs")) << json;
}
} // namespace
