// SPDX-License-Identifier: MIT
// sova-host run as a user runs it, on real files made by ffmpeg: what is left on disk after
// each command (inputs intact, no temporary file, existing outputs kept), its exit status and
// messages, and what the MP2 files it writes are, read back with libmpg123.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <mpg123.h>
#include <sndfile.h>

#include "HostTestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace hosttest;

// What libmpg123 sees in an MPEG audio file.
int SndfileFormat(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file) sf_close(file);
    return file ? info.format : 0;
}

class SovaHost : public ::testing::Test {
protected:
    void SetUp() override {
        MakeAudio(dir.File("stereo.wav"), 44100, 2);
        source = ReadText(dir.File("stereo.wav"));
    }
    // The folder holds exactly these files.
    void ExpectFiles(const std::set<std::string>& names) { EXPECT_EQ(Listing(dir), names); }
    TempDir dir;
    std::string source; // stereo.wav's bytes
};

TEST_F(SovaHost, AnOutputThatIsTheInputIsRefusedAndTheInputStaysIntact) {
    fs::create_hard_link(dir.File("stereo.wav"), dir.File("linked.mp2"));
    fs::create_symlink(dir.File("stereo.wav"), dir.File("symlink.mp2"));
    fs::copy_file(dir.File("stereo.wav"), dir.File("song.mp2")); // a WAV file under the name convert writes
    const std::vector<std::vector<std::string>> commands = {
        {"encode", dir.File("stereo.wav"), dir.File("stereo.wav")},
        {"encode", "-y", dir.File("stereo.wav"), dir.File("./stereo.wav")},
        {"encode", "-y", dir.File("stereo.wav"), dir.File("linked.mp2")},
        {"encode", "-y", dir.File("stereo.wav"), dir.File("symlink.mp2")},
        {"decode", "-y", dir.File("stereo.wav"), dir.File("stereo.wav")},
        {"convert", "-y", dir.File("song.mp2")},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.back());
        const HostRun run = Host(command);
        EXPECT_EQ(run.ExitCode(), 1) << run.err;
        EXPECT_TRUE(Contains(run.err + run.out, "is the input file")) << run.err << run.out;
        EXPECT_EQ(ReadText(dir.File("stereo.wav")), source);
        EXPECT_EQ(ReadText(dir.File("song.mp2")), source);
        ExpectFiles({"stereo.wav", "linked.mp2", "symlink.mp2", "song.mp2"});
    }
    // Standard input that is the output file.
    const HostRun run = Host({"encode", "-y", "-", dir.File("linked.mp2")}, dir.File("stereo.wav"));
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.err, "is the input file (standard input)")) << run.err;
    EXPECT_EQ(ReadText(dir.File("stereo.wav")), source);
}

TEST_F(SovaHost, NoPartialOutputAndNoExistingFileLost) {
    const std::string precious = dir.File("precious.mp2"), old = "the only copy";
    std::ofstream(precious) << old;
    std::ofstream(dir.File("precious.wav")) << old;
    // Refused by the host's check, by the module (handed over without negotiation), and kept
    // because -y was not given: the old file stays, no temporary file is left.
    const HostRun checked = Host({"encode", "-y", "-b", "144", dir.File("stereo.wav"), precious});
    const HostRun module = Host({"encode", "-y", "--no-conform", "-b", "8", dir.File("stereo.wav"), precious});
    const HostRun kept = Host({"encode", dir.File("stereo.wav"), precious});
    const HostRun keptDecode = Host({"decode", dir.File("stereo.wav"), dir.File("precious.wav")});
    for (const HostRun* run : {&checked, &module, &kept, &keptDecode}) {
        EXPECT_EQ(run->ExitCode(), 1) << run->err;
        EXPECT_TRUE(ReadText(precious) == old && ReadText(dir.File("precious.wav")) == old);
        ExpectFiles({"stereo.wav", "precious.mp2", "precious.wav"});
    }
    EXPECT_TRUE(Contains(module.err, "Error 1 creating file " + precious + ".")) << "the final name, not the temporary one: "
                                                                                  << module.err;
    EXPECT_TRUE(Contains(kept.err, "'" + precious + "' exists and was kept (-y replaces it)")) << kept.err;
    EXPECT_TRUE(Contains(keptDecode.err, "'" + dir.File("precious.wav") + "' exists and was kept")) << keptDecode.err;

    // Stopped while it waits for its input (a pipe that stays open): exit 128 + SIGINT, the
    // temporary files gone (the output's and the copy of standard input), the old file kept.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    setenv("TMPDIR", dir.File("").c_str(), 1);
    const pid_t pid = Start({"encode", "-y", "-", precious}, "/dev/null", "/dev/null", fifo);
    unsetenv("TMPDIR");
    const int writer = open(fifo.c_str(), O_WRONLY); // opens once the child has opened its end
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, source.data(), 1000), 1000);
    const auto temporaries = [&] {
        int count = 0;
        for (const std::string& name : Listing(dir)) count += name.size() > 5 && name.ends_with(".part");
        return count;
    };
    // The output's and the input copy; a bound, so that a sova-host that failed early cannot hang the test.
    for (int waited = 0; temporaries() < 2 && waited < 30000; ++waited) usleep(1000);
    EXPECT_EQ(temporaries(), 2) << "sova-host made no temporary files within 30 s";
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    close(writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
    EXPECT_EQ(ReadText(precious), old);
    ExpectFiles({"stereo.wav", "precious.mp2", "precious.wav", "fifo"});

    // With -y the finished file replaces it.
    const HostRun replaced = Host({"encode", "-y", dir.File("stereo.wav"), precious});
    EXPECT_EQ(replaced.ExitCode(), 0) << replaced.err;
    EXPECT_TRUE(Probe(precious).ok);
    ExpectFiles({"stereo.wav", "precious.mp2", "precious.wav", "fifo"});
}

TEST_F(SovaHost, PathsThatAreNotUtf8AreRefusedAndNothingIsWritten) {
    const std::string latin1 = dir.File("r\xE9sum\xE9");
    fs::copy_file(dir.File("stereo.wav"), latin1 + ".wav");
    for (const auto& command : std::vector<std::vector<std::string>>{
             {"encode", dir.File("stereo.wav"), latin1 + ".mp2"},
             {"decode", dir.File("stereo.wav"), latin1 + ".wav"},
             {"convert", latin1 + ".wav"}}) {
        SCOPED_TRACE(command.front());
        const HostRun run = Host(command);
        EXPECT_EQ(run.ExitCode(), 1) << run.err;
        EXPECT_TRUE(Contains(run.err + run.out, "r\\xE9sum\\xE9") && Contains(run.err + run.out, "is not UTF-8"))
            << run.err << run.out;
        ExpectFiles({"stereo.wav", "r\xE9sum\xE9.wav"});
    }
}

TEST_F(SovaHost, RateAndChannelsAskedForOrMovedByTheNegotiationAreWhatIsWritten) {
    MakeAudio(dir.File("voice24.wav"), 24000, 1);
    struct Case {
        std::vector<std::string> args;
        Stream expect;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"encode", "-b", "64", "--rate", "24000", dir.File("voice24.wav"), dir.File("lsf.mp2")},
         {.version = 2, .layer = 2, .bitrate = 64, .mode = MPG123_M_MONO, .rate = 24000},
         "output: MPEG-2 LSF Layer II, 64 kbit/s, mono, 24000 Hz"},
        {{"encode", "--rate", "48000", dir.File("stereo.wav"), dir.File("48k.mp2")},
         {.version = 1, .layer = 2, .bitrate = 192, .mode = MPG123_M_STEREO, .rate = 48000},
         "converting: resampling 44100 Hz to 48000 Hz"},
        {{"encode", "-b", "32", "--rate", "16000", dir.File("stereo.wav"), dir.File("16k.mp2")},
         {.version = 2, .layer = 2, .bitrate = 32, .mode = MPG123_M_STEREO, .rate = 16000},
         "converting: resampling 44100 Hz to 16000 Hz"},
        {{"encode", "--channels", "1", "-b", "96", dir.File("stereo.wav"), dir.File("mono.mp2")},
         {.version = 1, .layer = 2, .bitrate = 96, .mode = MPG123_M_MONO, .rate = 44100},
         "downmixing stereo to mono (L/2 + R/2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const HostRun run = Host(c.args);
        ASSERT_EQ(run.ExitCode(), 0) << run.err;
        EXPECT_TRUE(Contains(run.out, c.says)) << run.out;
        const Stream got = Probe(c.args.back());
        EXPECT_TRUE(got.ok && got.version == c.expect.version && got.layer == 2 && got.bitrate == c.expect.bitrate &&
                    got.mode == c.expect.mode && got.rate == c.expect.rate)
            << "MPEG-" << got.version << " layer " << got.layer << ", " << got.bitrate << " kbit/s, mode " << got.mode
            << ", " << got.rate << " Hz";
        // What is announced is what was written.
        const std::string version = c.expect.version == 1 ? "MPEG-1 Audio Layer II" : "MPEG-2 Audio Layer II";
        EXPECT_TRUE(Contains(run.out, "writing: " + c.args.back() + " (" + version)) << run.out;
        EXPECT_FALSE(Contains(run.out, c.expect.version == 1 ? "MPEG-2 Audio" : "MPEG-1 Audio")) << run.out;
    }
    // convert hands the options to each file.
    const HostRun run = Host({"convert", "--rate", "48000", "-O", dir.File("out"), dir.File("stereo.wav")});
    ASSERT_EQ(run.ExitCode(), 0) << run.out;
    EXPECT_EQ(Probe(dir.File("out/stereo.mp2")).rate, 48000);
}

TEST_F(SovaHost, CombinationsLayerTwoDoesNotAllowAreRefusedInWords) {
    MakeAudio(dir.File("mono.wav"), 48000, 1);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-b", "144", dir.File("stereo.wav")},
         "144 kbit/s is not allowed for stereo (automatic) at 44100 Hz (MPEG-1 Layer II); allowed there: 64, 96, 112, 128, "
         "160, 192, 224, 256, 320, 384 kbit/s"},
        {{"-b", "224", dir.File("mono.wav")},
         "224 kbit/s is not allowed for mono at 48000 Hz (MPEG-1 Layer II); allowed there: 32, 48, 56, 64, 80, 96, 112, "
         "128, 160, 192 kbit/s"},
        {{"-b", "56", "-m", "j", "--rate", "48000", dir.File("stereo.wav")},
         "56 kbit/s is not allowed for joint stereo at 48000 Hz"},
        {{"-b", "192", "--rate", "22050", dir.File("stereo.wav")},
         "192 kbit/s is not allowed for stereo (automatic) at 22050 Hz (MPEG-2 LSF Layer II); allowed there: 8, 16, 24"},
    };
    for (const auto& [options, message] : cases) {
        std::vector<std::string> args{"encode"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir.File("refused.mp2"));
        const HostRun run = Host(args);
        EXPECT_EQ(run.ExitCode(), 1) << run.err;
        EXPECT_TRUE(Contains(run.err, message)) << run.err;
        ExpectFiles({"stereo.wav", "mono.wav"});
    }
    // convert shows each failed file's reason.
    const HostRun run = Host({"convert", "-b", "224", "-m", "m", "-O", dir.File("out"), dir.File("stereo.wav")});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.out, "stereo.wav FAILED: encoding '" + dir.File("stereo.wav") +
                                      "' failed: 224 kbit/s is not allowed for mono"))
        << run.out;
    EXPECT_FALSE(fs::exists(dir.File("out/stereo.mp2")));
}

TEST_F(SovaHost, CommandLineConventions) {
    HostRun run = Host({"--version"});
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_TRUE(run.out.starts_with("sova-host ")) << run.out;

    // A usage error: status 2, one line and a hint, no pages of help.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"encode", "--bogus", "a.wav", "b.mp2"}, {"encode", "a.wav"}, {"encode", "--channels", "6", "a", "b"}, {},
             {"encdoe", "a.wav", "b.mp2"}}) {
        run = Host(args);
        EXPECT_EQ(run.ExitCode(), 2) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
        EXPECT_TRUE(Contains(run.err, "--help")) << run.err;
    }
    EXPECT_TRUE(Contains(run.err, "unknown command 'encdoe'")) << run.err;
    run = Host({"encode", "a.wav"});
    EXPECT_TRUE(Contains(run.err, "Try 'sova-host encode --help'")) << "the hint names the command's own help";

    // MP2 is not written to a terminal.
    const std::string command = std::string("'") + SOVA_HOST_PATH + "' --module '" + SOVA_MODULE_PATH + "' encode '" +
                                dir.File("stereo.wav") + "' -";
    run = testsupport::RunProcess({"/usr/bin/script", "-qec", command, "/dev/null"});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.out, "standard output is a terminal")) << run.out;

    // Global options after the command, quiet and verbose everywhere.
    std::ofstream(dir.File("quiet.mp2")) << "replaced";
    run = Host({"encode", dir.File("stereo.wav"), dir.File("quiet.mp2"), "-q", "-y", "--codec-dir", dir.File("")});
    EXPECT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(run.out.empty() && run.err.empty()) << run.out << run.err;
    run = Host({"-v", "encode", dir.File("stereo.wav"), dir.File("verbose.mp2")});
    EXPECT_TRUE(Contains(run.out, "settings: ATH:0:0;BitsPerSecond:0:192;")) << run.out;
    run = Host({"decode", "-q", dir.File("verbose.mp2"), dir.File("quiet.wav")});
    EXPECT_TRUE(run.ExitCode() == 0 && run.out.empty()) << run.out;

    // --settings: documented with its syntax; what the module would ignore is warned about.
    run = Host({"encode", "--help"});
    for (const char* part : {"Key:0:value;", "BitsPerSecond", "Developer options", "--no-conform", "default: 192"})
        EXPECT_TRUE(Contains(run.out, part)) << part << "\n" << run.out;
    run = Host({"encode", "-q", "--settings", "Bitrate:0:128;CRC:0:yes;Copy:0:1", dir.File("stereo.wav"),
                dir.File("warned.mp2")});
    EXPECT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "warning: --settings: unknown key 'Bitrate' ignored (known keys: ATH, BitsPerSecond"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "malformed entry 'CRC:0:yes;'")) << run.err;
    EXPECT_TRUE(Contains(run.err, "'Copy:0:1' ignored (each entry ends with ';')")) << run.err;
}

TEST_F(SovaHost, StandardInputAndOutputDecodeFormatsAndFolders) {
    // FLAC from standard input, MP2 to standard output: the same bytes as file to file.
    MakeAudio(dir.File("in.flac"), 44100, 2);
    ASSERT_EQ(Host({"encode", dir.File("in.flac"), dir.File("file.mp2")}).ExitCode(), 0);
    HostRun run = Host({"encode", "-", "-"}, dir.File("in.flac"));
    ASSERT_EQ(run.ExitCode(), 0) << run.err;
    EXPECT_TRUE(run.out == ReadText(dir.File("file.mp2"))) << "standard output holds only the MP2 stream";
    EXPECT_TRUE(Contains(run.err, "writing: standard output")) << run.err;

    // decode: WAV, AIFF and FLAC at 16 or 24 bits, float WAV by default.
    for (const auto& [name, bits, format] : std::vector<std::tuple<std::string, std::string, int>>{
             {"float.wav", "", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
             {"pcm16.wav", "16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
             {"pcm24.aiff", "24", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
             {"pcm16.flac", "16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}}) {
        std::vector<std::string> args{"decode", dir.File("file.mp2"), dir.File(name)};
        if (!bits.empty()) args.insert(args.end(), {"--bits", bits});
        run = Host(args);
        EXPECT_EQ(run.ExitCode(), 0) << run.err;
        EXPECT_EQ(SndfileFormat(dir.File(name)), format) << name;
    }
    EXPECT_EQ(Host({"decode", "--bits", "32", dir.File("file.mp2"), dir.File("float.flac")}).ExitCode(), 2);

    // convert: folders, recursively with -r, relative paths kept under -O.
    fs::create_directories(dir.File("album/disc 2"));
    MakeAudio(dir.File("album/one.wav"), 44100, 2, 0.5);
    MakeAudio(dir.File("album/disc 2/two.aiff"), 48000, 1, 0.5);
    std::ofstream(dir.File("album/notes.txt")) << "not audio";
    run = Host({"convert", "-r", "-O", dir.File("mp2"), dir.File("album")});
    EXPECT_EQ(run.ExitCode(), 0) << run.out;
    EXPECT_TRUE(Contains(run.out, "converted 2 of 2 files")) << run.out;
    EXPECT_TRUE(Probe(dir.File("mp2/one.mp2")).ok && Probe(dir.File("mp2/disc 2/two.mp2")).rate == 48000);
    run = Host({"convert", "-O", dir.File("flat"), dir.File("album")}); // without -r: the folder's own files
    EXPECT_TRUE(Contains(run.out, "converted 1 of 1 file")) << run.out;

    // convert --dialog asks before any file is converted; without a display it cannot.
    run = Host({"convert", "--dialog", "-O", dir.File("dialog"), dir.File("album")});
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_TRUE(Contains(run.err, "no display to show the settings dialog on")) << run.err;
    EXPECT_FALSE(fs::exists(dir.File("dialog")));
}
} // namespace
