// SPDX-License-Identifier: MIT
// convert on folders: every file that encode reads is taken (WAV, FLAC, AIFF, MP3, MP2, Ogg
// Vorbis, Opus), the rest is listed with the reason, audio that cannot be read here (M4A) with
// the ffmpeg pipe that encodes it; what is on disk afterwards.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "HostTestSupport.h"
#include "WriterTestSupport.h"

namespace {
namespace fs = std::filesystem;
using hosttest::Contains;
using hosttest::Host;
using hosttest::Listing;
using hosttest::MakeAudio;

// An MPEG Audio Layer II file at this rate and channel count, as libsndfile reads it.
::testing::AssertionResult IsMp2(const std::string& path, int rate, int channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file) sf_close(file);
    if (!file) return ::testing::AssertionFailure() << path << ": " << sf_strerror(nullptr);
    if (info.format != (SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_II) || info.samplerate != rate || info.channels != channels)
        return ::testing::AssertionFailure() << path << ": format " << std::hex << info.format << std::dec << ", "
                                             << info.samplerate << " Hz, " << info.channels << " channels";
    return ::testing::AssertionSuccess();
}

class ConvertInputs : public ::testing::Test {
protected:
    // A folder of what people keep next to their audio, made once and copied for each test.
    static void SetUpTestSuite() {
        made = new writertest::TempDir;
        const std::string folder = made->File("in");
        fs::create_directories(folder + "/later");
        MakeAudio(folder + "/a wav.wav", 44100, 2, 0.5);
        MakeAudio(folder + "/b.flac", 48000, 1, 0.5);
        MakeAudio(folder + "/c.aiff", 32000, 2, 0.5);
        MakeAudio(folder + "/d.mp3", 44100, 2, 0.5);
        MakeAudio(folder + "/e.mp2", 48000, 2, 0.5);
        MakeAudio(folder + "/f.ogg", 44100, 1, 0.5);
        MakeAudio(folder + "/g.opus", 48000, 2, 0.5);
        MakeAudio(folder + "/h.m4a", 44100, 2, 0.5);
        MakeAudio(folder + "/later/i.wav", 32000, 1, 0.5);
        std::ofstream(folder + "/notes.txt") << "running order";
    }
    static void TearDownTestSuite() { delete made; }
    void SetUp() override {
        in = dir.File("in");
        fs::copy(made->File("in"), in, fs::copy_options::recursive);
        before = Listing(in);
    }
    static inline writertest::TempDir* made = nullptr;
    writertest::TempDir dir;
    std::string in;
    std::set<std::string> before;
};

TEST_F(ConvertInputs, EveryFormatEncodeReadsIsTakenAndTheRestIsListedWithTheReason) {
    const std::string out = dir.File("out");
    // A name the shell would split: the advice quotes it.
    fs::rename(in + "/h.m4a", in + "/h's take.m4a");
    before.erase("h.m4a");
    before.insert("h's take.m4a");
    const auto run = Host({"convert", "-j", "2", "-O", out, in});
    // The M4A file is audio that was not converted: the job is not complete.
    EXPECT_EQ(run.ExitCode(), 1) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "converted 7 of 7 files")) << run.out;
    for (const char* name : {"a wav", "b", "c", "d", "e", "f", "g"})
        EXPECT_TRUE(Contains(run.out, "-> " + out + "/" + name + ".mp2")) << name << "\n" << run.out;
    EXPECT_TRUE(Contains(run.out, "skipped " + in + "/h's take.m4a: AAC or ALAC audio in an MPEG-4 file (.m4a) is not "
                                  "read by sova-host; decode it with ffmpeg: ffmpeg -i '" + in + "/h'\\''s take.m4a' -f "
                                  "wav - | sova-host encode - '" + out + "/h'\\''s take.mp2'"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "skipped " + in + "/notes.txt: not a format sova-host reads")) << run.out;
    EXPECT_TRUE(Contains(run.out, "skipped " + in + "/later/: a folder (-r takes the files in folders)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "skipped 3 (listed above), 1 of them audio that sova-host does not read")) << run.out;

    EXPECT_EQ(Listing(in), before);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"a wav.mp2", "b.mp2", "c.mp2", "d.mp2", "e.mp2", "f.mp2", "g.mp2"}));
    EXPECT_TRUE(IsMp2(out + "/a wav.mp2", 44100, 2));
    EXPECT_TRUE(IsMp2(out + "/b.mp2", 48000, 1));
    EXPECT_TRUE(IsMp2(out + "/c.mp2", 32000, 2));
    EXPECT_TRUE(IsMp2(out + "/d.mp2", 44100, 2));
    EXPECT_TRUE(IsMp2(out + "/e.mp2", 48000, 2));
    EXPECT_TRUE(IsMp2(out + "/f.mp2", 44100, 1));
    EXPECT_TRUE(IsMp2(out + "/g.mp2", 48000, 2));

    // The pipe the advice shows encodes the file.
    const std::string bin = fs::path(SOVA_HOST_PATH).parent_path().string();
    const std::string advice = run.out.substr(run.out.find("ffmpeg -i '" + in));
    const auto piped = testsupport::RunShell("PATH='" + bin + "':\"$PATH\"; " + advice.substr(0, advice.find('\n')));
    EXPECT_EQ(piped.ExitCode(), 0) << piped.err;
    EXPECT_TRUE(IsMp2(out + "/h's take.mp2", 44100, 2));
}

TEST_F(ConvertInputs, MpegFilesNextToTheirOutputsAndTheOutputFolderAreNotTakenAgain) {
    // -r, outputs next to the inputs: each MP2 file would be its own output.
    auto run = Host({"convert", "-r", "-j", "2", in});
    EXPECT_EQ(run.ExitCode(), 1) << run.out << run.err; // h.m4a
    EXPECT_TRUE(Contains(run.out, "converted 7 of 7 files")) << run.out;
    EXPECT_TRUE(Contains(run.out, "skipped " + in + "/e.mp2: its MP2 file would be the file itself")) << run.out;
    EXPECT_FALSE(Contains(run.out, "later/: a folder")) << run.out;
    std::set<std::string> expected = before;
    for (const char* name : {"a wav.mp2", "b.mp2", "c.mp2", "d.mp2", "f.mp2", "g.mp2", "later/i.mp2"}) expected.insert(name);
    EXPECT_EQ(Listing(in), expected);
    EXPECT_TRUE(IsMp2(in + "/later/i.mp2", 32000, 1));

    // An output folder inside the folder converted: its files are not inputs on the next run.
    for (const std::string& name : expected)
        if (!before.count(name) || name == "h.m4a") fs::remove(in + "/" + name);
    for (int pass = 0; pass < 2; ++pass) {
        run = Host({"convert", "-y", "-r", "-O", in + "/mp2", in});
        EXPECT_EQ(run.ExitCode(), 0) << run.out << run.err;
        EXPECT_TRUE(Contains(run.out, "converted 8 of 8 files")) << run.out; // e.mp2 too, into mp2/
    }
    EXPECT_TRUE(Contains(run.out, "skipped " + in + "/mp2/: the output folder")) << run.out;
    EXPECT_FALSE(fs::exists(in + "/mp2/mp2"));
}

TEST(ConvertFolder, AFolderWithNothingToTakeFailsAndWritesNothing) {
    writertest::TempDir dir;
    const std::string empty = dir.File("nothing");
    fs::create_directories(empty);
    std::ofstream(empty + "/cover.jpg") << "jpeg";
    MakeAudio(empty + "/h.m4a", 44100, 2, 0.5);
    const auto run = Host({"convert", empty});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.err, "no audio files found in " + empty)) << run.err;
    EXPECT_TRUE(Contains(run.out, "skipped " + empty + "/cover.jpg: not a format sova-host reads")) << run.out;
    EXPECT_TRUE(Contains(run.out, "skipped " + empty + "/h.m4a: AAC")) << run.out;
    EXPECT_EQ(Listing(empty), (std::set<std::string>{"cover.jpg", "h.m4a"}));
}
} // namespace
