// SPDX-License-Identifier: MIT
// sova-host info and decode as a user runs them: what a file is in plain terms and in JSON,
// refusals in words, and damage found by reading a stream to its end through the module.
#include <gtest/gtest.h>

#include <sndfile.h>

#include "ReaderSupport.h"

namespace readertest {
namespace {
// The part of the output that belongs to the file shown at `path` (up to the next file's name).
std::string Section(const std::string& text, const fs::path& path, const fs::path& next = {}) {
    const size_t at = text.find(path.string() + "\n");
    if (at == std::string::npos) return "";
    const size_t end = next.empty() ? std::string::npos : text.find(next.string() + "\n", at + 1);
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST(SovaHostInfo, PlainTermsJsonAndRefusalsInWords) {
    const fs::path joint = MakeSample("JointCopyright"), lsf = MakeSample("Lsf22050"), avi = WorkFolder() / "clip.avi";
    const fs::path absent = WorkFolder() / "absent.mp2", wave = MakeWav("mono44");
    fs::copy_file(joint, avi, fs::copy_options::overwrite_existing);
    const HostRun run = RunHostCapturing("info " + Quote(joint) + " " + Quote(lsf) + " " + Quote(avi) + " " +
                                         Quote(absent) + " " + Quote(wave));
    EXPECT_EQ(run.exitCode, 1) << "a refused file makes the command fail";
    EXPECT_EQ(run.err, "") << "the decoder's own notes stay hidden without --trace";
    const std::string jointPart = Section(run.out, joint, lsf);
    for (const char* line : {"description:  MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)\n",
                             "MPEG:         version 1, layer II\n", "bitrate:      128 kbit/s CBR\n",
                             "mode:         joint stereo\n", "sample rate:  44100 Hz\n", "channels:     2\n",
                             "duration:     2.011 s (88704 samples per channel, 77 MPEG frames, from the frame headers)\n", "CRC:          no\n",
                             "emphasis:     none\n", "copyright:    yes\n", "original:     no\n"})
        EXPECT_TRUE(Contains(jointPart, line)) << line << " in\n" << run.out;
    EXPECT_FALSE(Contains(run.out, "settings:")) << "the settings text only when asked";
    EXPECT_TRUE(Contains(Section(run.out, lsf, avi), "MPEG:         version 2, layer II\n")) << run.out;
    EXPECT_TRUE(Contains(Section(run.out, avi, absent), "refused:      unusable: ")) << run.out;
    EXPECT_TRUE(Contains(Section(run.out, absent, wave), "refused:      '" + absent.string() + "' does not exist\n"))
        << run.out;
    EXPECT_TRUE(Contains(Section(run.out, wave), "refused:      not MPEG audio: a WAV file of PCM samples")) << run.out;
    const HostRun decodeWave = RunHostCapturing("decode " + Quote(wave) + " " + Quote(WorkFolder() / "from-wav.wav"));
    EXPECT_TRUE(Contains(decodeWave.err, "not MPEG audio: a WAV file of PCM samples")) << decodeWave.err;

    // -v adds what the module reported besides; -q keeps only the files that need attention.
    const HostRun verbose = RunHostCapturing("-v info " + Quote(joint));
    EXPECT_TRUE(Contains(verbose.out, "channel types: 100, 101\n") && Contains(verbose.out, "settings:     ATH:0:0;"))
        << verbose.out;
    const HostRun quiet = RunHostCapturing("info -q " + Quote(joint) + " " + Quote(absent));
    EXPECT_EQ(quiet.out, absent.string() + ": refused: '" + absent.string() + "' does not exist\n");
    EXPECT_EQ(quiet.exitCode, 1);

    // For scripts: one object a line, the same facts.
    const HostRun json = RunHostCapturing("info --json --settings " + Quote(lsf) + " " + Quote(MakeSample("Mono")) +
                                          " " + Quote(absent));
    EXPECT_EQ(json.exitCode, 1);
    const std::vector<std::string> expected[] = {
        {"\"mpeg_version\":\"2\"", "\"layer\":2", "\"bitrate_kbps\":64", "\"mode\":\"stereo\"",
         "\"sample_rate\":22050", "\"channels\":2", "\"frames_exact\":false", "\"padding\":false",
         "\"settings\":\"ATH:0:0;BitsPerSecond:0:64;"},
        {"\"mode\":\"mono\"", "\"channels\":1", "\"bitrate_kbps\":96", "\"duration_s\":2.0"},
        {"\"error\":\"missing\""}};
    size_t lineStart = 0;
    for (const auto& fields : expected) {
        const size_t lineEnd = json.out.find('\n', lineStart);
        ASSERT_NE(lineEnd, std::string::npos) << json.out;
        const std::string line = json.out.substr(lineStart, lineEnd - lineStart);
        EXPECT_TRUE(line.front() == '{' && line.back() == '}') << line;
        for (const std::string& field : fields) EXPECT_TRUE(Contains(line, field)) << field << " in " << line;
        lineStart = lineEnd + 1;
    }
    EXPECT_EQ(lineStart, json.out.size()) << "one line per file";

    // A name that is not UTF-8 cannot reach the module: refused in words, and the JSON stays UTF-8.
    const fs::path latin1 = WorkFolder() / "r\xe9sum\xe9.mp2";
    fs::copy_file(lsf, latin1);
    const HostRun odd = RunHostCapturing("info --json " + Quote(latin1));
    EXPECT_TRUE(Contains(odd.out, "r\\ufffdsum\\ufffd.mp2\",\"error\":\"unreadable\"")) << odd.out;
}

TEST(SovaHostVerify, DamageIsFoundCountedAndFailsTheJobUnlessAccepted) {
    const fs::path damaged = MakeSample("Damaged"), stereo = MakeSample("Stereo");
    const int64_t cleanFrames = static_cast<int64_t>(ReferenceSamples(stereo).size() / 2);

    // Clean and tagged streams read to their end: exact length, no damage.
    HostRun run = RunHostCapturing("info --verify " + Quote(stereo) + " " + Quote(MakeSample("Id3Tagged")));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(Section(run.out, stereo, MakeSample("Id3Tagged")),
                         "duration:     2.011 s (" + std::to_string(cleanFrames) + " samples per channel, 77 MPEG frames, exact)"))
        << run.out;
    EXPECT_FALSE(Contains(run.out, "damaged")) << run.out;
    // A stream cut inside a frame is damaged there.
    run = RunHostCapturing("info --verify " + Quote(MakeSample("Truncated")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.out, "; damaged: last frame truncated at byte ")) << run.out;

    run = RunHostCapturing("info --verify " + Quote(damaged));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.out, "verified:") && Contains(run.out, "; damaged: ") && Contains(run.out, " bytes of junk at byte "))
        << run.out;
    run = RunHostCapturing("info --verify --json " + Quote(damaged));
    EXPECT_TRUE(Contains(run.out, "\"damaged\":true,\"damaged_at_s\":[0.7")) << run.out;

    // Decoding reads on past the damage and says where it was and how much was lost.
    const fs::path out = WorkFolder() / "damaged.wav";
    run = RunHostCapturing("decode " + Quote(damaged) + " " + Quote(out));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "Damaged.mp2: damaged: ") && Contains(run.err, " bytes of junk at byte ") &&
                Contains(run.err, "; " + out.string() + " was not written (--keep-going keeps"))
        << run.err;
    EXPECT_FALSE(fs::exists(out)) << "a failed job leaves no output";
    run = RunHostCapturing("decode --keep-going " + Quote(damaged) + " " + Quote(out));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Contains(run.err, "damaged: ") && Contains(run.err, " bytes of junk at byte ")) << run.err;
    SF_INFO info{};
    SNDFILE* decoded = sf_open(out.c_str(), SFM_READ, &info);
    ASSERT_NE(decoded, nullptr);
    sf_close(decoded);
    EXPECT_GT(info.frames, cleanFrames / 2) << "the audio after the damage is there too";
    EXPECT_LT(info.frames, cleanFrames);
}
} // namespace
} // namespace readertest
