// SPDX-License-Identifier: MIT
// sova-host register and conform, run as the separate processes people use.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "Process.h"

namespace {
struct HostRun {
    int status;
    std::string output;
};

// Runs sova-host with arguments (already quoted for the shell), capturing stdout.
HostRun RunHost(const std::string& arguments) {
    const testsupport::ProcessRun run = testsupport::RunShell(std::string("'") + SOVA_HOST_PATH + "' --module '" +
                                                              SOVA_MODULE_PATH + "' " + arguments);
    return {run.ExitCode(), run.out};
}

class ScratchFolder {
public:
    ScratchFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("sova-settings-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& Path() const { return path_; }
private:
    std::filesystem::path path_;
};
} // namespace

TEST(HostCommands, RegisterShowsIdentityAndFormats) {
    const HostRun run = RunHost("register");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "result: 0 (success)\n"
                          "identifier: 08E931A6-B7EE-4F0C-8EFA-213C25E9C6DC\n"
                          "name: Velmora MPEG Audio Layer II Sova plug-in\n"
                          "format: MP2 Audio (extensions: mp2)\n"
                          "format again: MP2 Audio (extensions: mp2)\n");
}

TEST(HostCommands, RegisterWithoutCodecLibrariesRegistersNothing) {
    ScratchFolder empty;
    const HostRun run = RunHost("--codec-dir '" + empty.Path().string() + "' --codec-dir-only register");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "result: 0 (success)\nnothing registered\n");
}

TEST(HostCommands, RegisterUsesTranslations) {
    ScratchFolder folder;
    const auto translations = folder.Path() / "de.txt";
    std::ofstream(translations) << "# German\n$$$/SovaPlugIns/SovaMp2/MP2Audio=MP2-Audio (\xC3\xBC)\n";
    const HostRun run = RunHost("--translations '" + translations.string() + "' register");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("format: MP2-Audio (\xC3\xBC) (extensions: mp2)\n"), std::string::npos) << run.output;
}

TEST(HostCommands, ConformShowsTheNegotiatedFormat) {
    HostRun run = RunHost("conform --rate 96000 --channels 6 --length 960001 --no-adjust");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "result: -8 (save format adjusted without permission)\n"
              "sample rate: 48000 Hz\nchannels: 2\nlength: 480000 frames\n"
              "MIME type: audio/mpeg\ntype code: MPEG (0x4D504547)\n"
              "estimated size: 240000 bytes\n"
              "settings: ATH:0:0;BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:-1;CompressionType:0:0;Copy:0:0;"
              "EmphasisType:0:0;Energy:0:0;MPEGVersion:0:1;Original:0:0;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;\n"
              "description:\nMPEG-1 Audio Layer II, 192 kbps (CBR)\nStereo, 48000 Hz\n");

    run = RunHost("conform --rate 44100 --channels 1 --settings 'EmphasisType:0:1;Copy:0:1;BitsPerSecond:0:96;'");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("length: 441000 frames\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("estimated size: 120000 bytes\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("description:\nMPEG-1 Audio Layer II, 96 kbps (CBR)\nMono, 44100 Hz\n"
                              "(50/15 \xC2\xB5s Emphasis) (Copyright) \n"),
              std::string::npos)
        << run.output;

    run = RunHost("conform --rate 44100");
    EXPECT_NE(run.status, 0); // --channels is required
}
