// SPDX-License-Identifier: MIT
// sova-host check as a user runs it on files made by twolame and ffmpeg: intact files pass; a
// bit flipped in one frame's bit allocation, a cut, a rate change mid-stream and junk between
// frames each fail naming their place, which ffprobe's packet positions give; tags are named;
// silence at head and tail agrees with ffmpeg's silencedetect.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Process.h"
#include "WriterTestSupport.h"

namespace {
using Bytes = std::string;
using writertest::TempDir;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Shell(const std::string& command) {
    const testsupport::ProcessRun run = testsupport::RunShell(command);
    if (!run.Succeeded()) throw std::runtime_error("failed: " + command + "\n" + run.err);
    return run.out + run.err;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const Bytes& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

testsupport::ProcessRun Check(const std::vector<std::string>& args) {
    std::vector<std::string> command{SOVA_HOST_PATH, "--module", SOVA_MODULE_PATH, "check"};
    command.insert(command.end(), args.begin(), args.end());
    return testsupport::RunProcess(command);
}

// The number after "key": in a JSON line; NaN when the key is missing.
double JsonNumber(const std::string& json, const std::string& key) {
    const size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

// Where each frame begins, as ffprobe finds the packets.
std::vector<uint64_t> PacketPositions(const std::string& path) {
    std::istringstream lines(Shell("ffprobe -v error -show_entries packet=pos -of csv=p=0 '" + path + "'"));
    std::vector<uint64_t> positions;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) positions.push_back(std::stoull(line));
    return positions;
}

// Pink noise under a tone, different in each channel: real side information in every subband.
std::string MakeSource(const TempDir& dir, const std::string& name, int rate, int channels, double seconds = 3) {
    const std::string path = dir.File(name);
    Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'anoisesrc=c=pink:r=" + std::to_string(rate) + ":a=0.2:d=" +
          std::to_string(seconds) + ":seed=3' -f lavfi -i 'sine=f=523:r=" + std::to_string(rate) + ":d=" +
          std::to_string(seconds) + "' -filter_complex '[0][1]amerge=inputs=2,aformat=channel_layouts=stereo' -ac " +
          std::to_string(channels) + " -c:a pcm_s16le '" + path + "'");
    return path;
}

std::string Twolame(const TempDir& dir, const std::string& name, int rate, const std::string& options) {
    const std::string source = MakeSource(dir, name + ".wav", rate, Contains(options, "-m m") ? 1 : 2);
    const std::string mp2 = dir.File(name);
    Shell("twolame --quiet " + options + " '" + source + "' '" + mp2 + "'");
    return mp2;
}

TEST(Check, ATwolameFileWithCrcPassesAndOneFlippedAllocationBitFailsThatFrame) {
    TempDir dir;
    // Joint stereo at 128 kbit/s: twolame writes joint stereo and stereo frames by turns (ffprobe
    // then drops the first frame, so the frames are counted by their size: at 48000 Hz no frame is
    // padded, and each holds 144 x 128000 / 48000 = 384 bytes).
    const std::string mp2 = Twolame(dir, "crc.mp2", 48000, "-p -m j -b 128");
    const size_t frameBytes = 384, frames = ReadBytes(mp2).size() / frameBytes;
    ASSERT_EQ(ReadBytes(mp2).size() % frameBytes, 0u);
    ASSERT_GT(frames, 100u);
    const testsupport::ProcessRun intact = Check({mp2});
    EXPECT_EQ(intact.ExitCode(), 0) << intact.out << intact.err;
    EXPECT_TRUE(Contains(intact.out, mp2 + ": fit to deliver")) << intact.out;
    EXPECT_TRUE(Contains(intact.out, "in every frame, all match")) << intact.out;
    EXPECT_TRUE(Contains(intact.out, "stereo and joint stereo")) << intact.out;
    const testsupport::ProcessRun json = Check({"--json", mp2});
    EXPECT_EQ(json.ExitCode(), 0);
    EXPECT_TRUE(Contains(json.out, "\"fit\":true")) << json.out;
    EXPECT_EQ(JsonNumber(json.out, "frames"), static_cast<double>(frames));
    EXPECT_EQ(JsonNumber(json.out, "crc_checked"), static_cast<double>(frames));
    EXPECT_EQ(JsonNumber(json.out, "crc_mismatches"), 0);

    // The first allocation bit of subband 0 in frame 40 (counting from 1): byte 6 of the frame.
    Bytes bytes = ReadBytes(mp2);
    const uint64_t frame40 = 39 * frameBytes;
    bytes[frame40 + 6] = static_cast<char>(bytes[frame40 + 6] ^ 0x80);
    const std::string damaged = dir.File("flipped.mp2");
    WriteBytes(damaged, bytes);
    const testsupport::ProcessRun flipped = Check({damaged});
    EXPECT_EQ(flipped.ExitCode(), 1) << flipped.out;
    EXPECT_TRUE(Contains(flipped.out, "NOT fit to deliver (1 failure)")) << flipped.out;
    EXPECT_TRUE(Contains(flipped.out, "CRC mismatch in frame 40 at byte " + std::to_string(frame40) + " ")) << flipped.out;
    const testsupport::ProcessRun flippedJson = Check({"--json", damaged});
    EXPECT_EQ(flippedJson.ExitCode(), 1);
    EXPECT_TRUE(Contains(flippedJson.out, "\"check\":\"crc\"")) << flippedJson.out;
    EXPECT_TRUE(Contains(flippedJson.out, "\"frame\":40,\"offset\":" + std::to_string(frame40) + ",")) << flippedJson.out;
}

TEST(Check, ACutARateChangeAndJunkEachFailWithTheirPosition) {
    TempDir dir;
    const std::string mp2 = Twolame(dir, "a.mp2", 48000, "-p -b 192");
    const Bytes bytes = ReadBytes(mp2);
    const std::vector<uint64_t> packets = PacketPositions(mp2);
    ASSERT_GT(packets.size(), 60u);

    const std::string cut = dir.File("cut.mp2");
    WriteBytes(cut, bytes.substr(0, packets[50] + 100));
    const testsupport::ProcessRun cutRun = Check({"--json", cut});
    EXPECT_EQ(cutRun.ExitCode(), 1);
    EXPECT_TRUE(Contains(cutRun.out, "\"check\":\"truncated\",\"message\":\"last frame truncated at byte " +
                                         std::to_string(packets[50]))) << cutRun.out;

    const std::string other = Twolame(dir, "b.mp2", 44100, "-p -b 192");
    const std::string joined = dir.File("joined.mp2");
    WriteBytes(joined, bytes + ReadBytes(other));
    const testsupport::ProcessRun joinedRun = Check({joined});
    EXPECT_EQ(joinedRun.ExitCode(), 1);
    EXPECT_TRUE(Contains(joinedRun.out, "stream changes at byte " + std::to_string(bytes.size()) +
                                            " (3.000 s) from MPEG-1 layer II, 48000 Hz, 2 channels to MPEG-1 layer II, 44100 Hz"))
        << joinedRun.out;

    const std::string junk = dir.File("junk.mp2");
    WriteBytes(junk, bytes.substr(0, packets[20]) + std::string(1000, 'j') + bytes.substr(packets[20]));
    const testsupport::ProcessRun junkRun = Check({junk});
    EXPECT_EQ(junkRun.ExitCode(), 1);
    EXPECT_TRUE(Contains(junkRun.out, "1000 bytes of junk at byte " + std::to_string(packets[20]) + " (0.480 s)"))
        << junkRun.out;
}

TEST(Check, VariableBitrateAndChangingHeaderFlagsFailWhereTheyBegin) {
    TempDir dir;
    const std::string vbr = Twolame(dir, "vbr.mp2", 48000, "-p -m s -v -V 5");
    const testsupport::ProcessRun vbrRun = Check({"--json", vbr});
    EXPECT_EQ(vbrRun.ExitCode(), 1) << vbrRun.out;
    EXPECT_TRUE(Contains(vbrRun.out, "\"bitrate_mode\":\"VBR\"")) << vbrRun.out;
    // Where the packet size first differs from the first packet's, in ffprobe's listing.
    std::istringstream lines(Shell("ffprobe -v error -show_entries packet=pos,size -of csv=p=0 '" + vbr + "'"));
    std::vector<std::pair<uint64_t, uint64_t>> packets; // size, pos
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) packets.emplace_back(std::stoull(line), std::stoull(line.substr(line.find(',') + 1)));
    ASSERT_GT(packets.size(), 2u);
    size_t change = 1;
    while (change < packets.size() && packets[change].first == packets[0].first) ++change;
    ASSERT_LT(change, packets.size()) << "twolame -v wrote a constant bitrate";
    EXPECT_TRUE(Contains(vbrRun.out, "\"check\":\"vbr\",\"message\":\"the bitrate changes at frame " +
                                         std::to_string(change + 1) + " (byte " + std::to_string(packets[change].second) + ","))
        << vbrRun.out;

    // Emphasis switched on halfway: two files joined, the same stream otherwise.
    const std::string plain = Twolame(dir, "plain.mp2", 48000, "-p -m s -b 192");
    const std::string emphasis = Twolame(dir, "emphasis.mp2", 48000, "-p -m s -b 192 -e 5");
    const std::string joined = dir.File("joined.mp2");
    const Bytes first = ReadBytes(plain);
    WriteBytes(joined, first + ReadBytes(emphasis));
    const testsupport::ProcessRun joinedRun = Check({joined});
    EXPECT_EQ(joinedRun.ExitCode(), 1);
    EXPECT_TRUE(Contains(joinedRun.out, "the emphasis changes at frame " + std::to_string(first.size() / 576 + 1) +
                                            " (byte " + std::to_string(first.size()) + ", 3.000 s) from none to 50/15 us"))
        << joinedRun.out;
}

TEST(Check, FilesFromFfmpegsMp2EncoderPassOneReportEach) {
    TempDir dir;
    std::vector<std::string> files;
    for (const auto& [rate, channels, kbps] : std::vector<std::tuple<int, int, int>>{
             {48000, 2, 256}, {44100, 1, 128}, {32000, 2, 192}, {24000, 2, 96}, {22050, 1, 64}, {16000, 1, 32}}) {
        const std::string source = MakeSource(dir, "src" + std::to_string(files.size()) + ".wav", rate, channels, 2);
        files.push_back(dir.File("ffmpeg" + std::to_string(files.size()) + ".mp2"));
        Shell("ffmpeg -nostdin -v error -y -i '" + source + "' -c:a mp2 -b:a " + std::to_string(kbps) + "k '" +
              files.back() + "'");
    }
    const testsupport::ProcessRun run = Check(files);
    EXPECT_EQ(run.ExitCode(), 0) << run.out;
    for (const std::string& file : files) EXPECT_TRUE(Contains(run.out, file + ": fit to deliver")) << run.out;
    EXPECT_TRUE(Contains(run.out, "none (the frames carry no CRC)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "padding:   ")) << run.out;

    // An empty file among them: each still has its report, and the status says one failed.
    const std::string empty = dir.File("empty.mp2");
    WriteBytes(empty, "");
    std::vector<std::string> args{"--json"};
    args.insert(args.end(), files.begin(), files.end());
    args.insert(args.begin() + 3, empty);
    const testsupport::ProcessRun mixed = Check(args);
    EXPECT_EQ(mixed.ExitCode(), 1);
    std::istringstream lines(mixed.out);
    std::vector<std::string> reports;
    for (std::string line; std::getline(lines, line);) reports.push_back(line);
    ASSERT_EQ(reports.size(), files.size() + 1) << mixed.out;
    for (size_t i = 0; i < reports.size(); ++i) {
        const bool isEmpty = i == 2;
        EXPECT_TRUE(Contains(reports[i], isEmpty ? "\"fit\":false" : "\"fit\":true")) << reports[i];
        EXPECT_TRUE(Contains(reports[i], "\"path\":\"" + (isEmpty ? empty : files[i < 2 ? i : i - 1]) + "\"")) << reports[i];
    }
    EXPECT_TRUE(Contains(reports[2], "\"check\":\"no-audio\"")) << reports[2];
}

// ID3v2 before the frames, APEv2 and ID3v1 after them, made byte by byte.
Bytes Id3v2Tag() {
    const Bytes frame = Bytes("TIT2") + Bytes("\0\0\0\x06\0\0", 6) + Bytes("\0title", 6);
    Bytes tag = Bytes("ID3\x03\0\0", 6) + Bytes("\0\0\0", 3) + static_cast<char>(frame.size() + 22);
    return tag + frame + Bytes(22, '\0'); // padding
}
Bytes ApeTag() {
    const auto le32 = [](uint32_t value) {
        Bytes bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        return bytes;
    };
    const Bytes item = le32(5) + le32(0) + Bytes("Title\0", 6) + "title";
    const auto block = [&](bool header) {
        return Bytes("APETAGEX") + le32(2000) + le32(static_cast<uint32_t>(item.size() + 32)) + le32(1) +
               le32(0x80000000u | (header ? 0x20000000u : 0)) + Bytes(8, '\0');
    };
    return block(true) + item + block(false);
}
Bytes Id3v1Tag() { return Bytes("TAG") + Bytes(125, ' '); }

TEST(Check, TagsAreNamedWithTheirPlace) {
    TempDir dir;
    const std::string mp2 = Twolame(dir, "plain.mp2", 44100, "-p -m m -b 128");
    const Bytes audio = ReadBytes(mp2);
    const Bytes front = Id3v2Tag(), ape = ApeTag();
    const std::string tagged = dir.File("tagged.mp2");
    WriteBytes(tagged, front + audio + ape + Id3v1Tag());
    const testsupport::ProcessRun run = Check({tagged});
    EXPECT_EQ(run.ExitCode(), 0) << run.out;
    EXPECT_TRUE(Contains(run.out, "tags:      ID3v2 at byte 0 (" + std::to_string(front.size()) + " bytes), ID3v1 at byte " +
                                      std::to_string(front.size() + audio.size() + ape.size()) + " (128 bytes), APEv2 at byte " +
                                      std::to_string(front.size() + audio.size()) + " (" + std::to_string(ape.size()) +
                                      " bytes)"))
        << run.out;
    const testsupport::ProcessRun json = Check({"--json", tagged});
    EXPECT_TRUE(Contains(json.out, "{\"name\":\"ID3v2\",\"offset\":0,\"bytes\":" + std::to_string(front.size()) + "}")) << json.out;
}

// ffmpeg's silencedetect on the same file: where the first silence ends and the last begins.
struct Silences {
    double headEnd = 0, tailStart = 0;
};
Silences SilenceDetect(const std::string& path) {
    const std::string log = Shell("ffmpeg -nostdin -i '" + path + "' -af silencedetect=n=-60dB:d=0.2 -f null - 2>&1");
    Silences found;
    const size_t end = log.find("silence_end: ");
    const size_t start = log.rfind("silence_start: ");
    if (end == std::string::npos || start == std::string::npos) throw std::runtime_error("silencedetect: " + log);
    found.headEnd = std::strtod(log.c_str() + end + 13, nullptr);
    found.tailStart = std::strtod(log.c_str() + start + 15, nullptr);
    return found;
}

TEST(Check, SilenceAtHeadAndTailIsMeasuredAsSilencedetectDoes) {
    TempDir dir;
    for (const auto& [rate, options] : std::vector<std::pair<int, std::string>>{{48000, "-p -b 256"}, {44100, "-p -m m -b 96"},
                                                                                 {24000, "-p -b 64"}}) {
        const std::string wav = dir.File("gaps.wav"), mp2 = dir.File("gaps.mp2");
        const std::string r = std::to_string(rate);
        Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'anullsrc=r=" + r + ":cl=stereo:d=2' -f lavfi -i 'sine=f=1000:r=" + r +
              ":d=2' -f lavfi -i 'anullsrc=r=" + r + ":cl=stereo:d=1' -filter_complex "
              "'[1]volume=0.5,aformat=channel_layouts=stereo[t];[0][t][2]concat=n=3:v=0:a=1' -c:a pcm_s16le '" + wav + "'");
        Shell("twolame --quiet " + options + " '" + wav + "' '" + mp2 + "'");
        const testsupport::ProcessRun run = Check({"--json", mp2});
        EXPECT_EQ(run.ExitCode(), 0) << run.out;
        const Silences reference = SilenceDetect(mp2);
        const double duration = JsonNumber(run.out, "duration_s");
        EXPECT_NEAR(JsonNumber(run.out, "head_silence_s"), reference.headEnd, 0.002) << rate << run.out;
        EXPECT_NEAR(JsonNumber(run.out, "tail_silence_s"), duration - reference.tailStart, 0.002) << rate << run.out;
        EXPECT_NEAR(JsonNumber(run.out, "head_silence_s"), 2.0, 0.03);
        EXPECT_NEAR(JsonNumber(run.out, "tail_silence_s"), 1.0, 0.05);
    }
    // Silence throughout is not fit to deliver.
    const std::string silent = dir.File("silent.mp2");
    Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'anullsrc=r=48000:cl=stereo:d=2' -c:a mp2 '" + silent + "'");
    const testsupport::ProcessRun run = Check({silent});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.out, "silent throughout: no sample reaches -60 dBFS")) << run.out;
}
} // namespace

namespace {
// ffmpeg's ebur128 filter on a file: integrated loudness (LUFS) and true peak (dBTP).
struct Ebur128 {
    double integrated = 0, truePeak = 0;
};
Ebur128 MeasureWithFfmpeg(const std::string& path) {
    const std::string log = Shell("ffmpeg -nostdin -nostats -i '" + path + "' -af ebur128=peak=true -f null - 2>&1");
    const size_t summary = log.rfind("Summary:");
    if (summary == std::string::npos) throw std::runtime_error("ebur128: " + log);
    Ebur128 found;
    found.integrated = std::strtod(log.c_str() + log.find("I:", summary) + 2, nullptr);
    found.truePeak = std::strtod(log.c_str() + log.find("Peak:", log.find("True peak:", summary)) + 5, nullptr);
    return found;
}

TEST(Check, LoudnessAndTruePeakAgainstATargetAgreeWithFfmpegsEbur128) {
    TempDir dir;
    // A loud programme: noise and a tone near full scale.
    const std::string wav = dir.File("loud.wav"), mp2 = dir.File("loud.mp2");
    Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'anoisesrc=c=pink:r=48000:a=0.5:d=8:seed=5' -f lavfi -i "
          "'sine=f=220:r=48000:d=8' -filter_complex '[0][1]amerge=inputs=2,volume=1.6' -c:a pcm_s16le '" + wav + "'");
    Shell("twolame --quiet -p -b 256 '" + wav + "' '" + mp2 + "'");
    const Ebur128 reference = MeasureWithFfmpeg(mp2);

    const testsupport::ProcessRun measured = Check({"--json", "--loudness", "-23", mp2});
    EXPECT_NEAR(JsonNumber(measured.out, "loudness_lufs"), reference.integrated, 0.3) << measured.out;
    EXPECT_NEAR(JsonNumber(measured.out, "true_peak_dbtp"), reference.truePeak, 0.3) << measured.out;
    EXPECT_EQ(measured.ExitCode(), 1) << "far louder than -23 LUFS";
    EXPECT_TRUE(Contains(measured.out, "\"check\":\"loudness\"")) << measured.out;

    // At its own loudness it passes unless the true peak passes the ceiling.
    const std::string own = std::to_string(reference.integrated);
    const std::string above = std::to_string(reference.truePeak + 0.5), below = std::to_string(reference.truePeak - 0.5);
    const testsupport::ProcessRun fits = Check({"--loudness", own, "--true-peak", above, mp2});
    EXPECT_EQ(fits.ExitCode(), 0) << fits.out;
    const testsupport::ProcessRun peaks = Check({"--loudness", own, "--true-peak", below, mp2});
    EXPECT_EQ(peaks.ExitCode(), 1) << peaks.out;
    EXPECT_TRUE(Contains(peaks.out, "above the ceiling of")) << peaks.out;
    // Off the target by more than the tolerance.
    const testsupport::ProcessRun off = Check({"--loudness", std::to_string(reference.integrated - 2), "--tolerance", "1",
                                               "--true-peak", above, mp2});
    EXPECT_EQ(off.ExitCode(), 1) << off.out;
    EXPECT_TRUE(Contains(off.out, "integrated loudness")) << off.out;
}
} // namespace
