// SPDX-License-Identifier: MIT
// What a host built on the protocol headers alone learns when saving goes wrong: a disk that
// fills while the file is finished, settings texts the host leaves null, and settings that
// TwoLAME takes but cannot encode with.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RecordingHost.h"

namespace {
using namespace sova::sdk;
using namespace boundarytest;
namespace fs = std::filesystem;

fs::path TempPath(const std::string& name) {
    return fs::path(::testing::TempDir()) / ("safety-" + std::to_string(getpid()) + "-" + name);
}

std::vector<char> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// 20 s of 16-bit stereo, two tones and a little noise: at 320 kbit/s about 800 kB of MP2,
// less than the module's 1 MiB stream buffer, so nothing reaches the disk before selector 19.
struct Audio {
    static constexpr int32_t kRate = 44100;
    static constexpr int64_t kFrames = 20 * kRate;
    std::vector<int16_t> left, right;
    Audio() : left(kFrames), right(kFrames) {
        uint32_t noise = 12345;
        for (int64_t i = 0; i < kFrames; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double t = static_cast<double>(i) / kRate, n = static_cast<double>(noise >> 16) / 65536.0 - 0.5;
            left[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * t) + 2000 * n);
            right[i] = static_cast<int16_t>(9000 * std::sin(2 * M_PI * 660 * t) - 2000 * n);
        }
    }
};

class SavingHost : public ::testing::Test {
protected:
    LoadedModule module{SOVA_MODULE_PATH};
    Log log;
    RecordingAudioFormat format{log};

    void SetUp() override {
        RecordingRegistrar registrar(log);
        ASSERT_EQ(module.Call(kSelectorDescribePlugIn, nullptr, &registrar), kResultOK);
        ASSERT_EQ(module.Call(kSelectorStartup, nullptr, nullptr), kResultOK);
    }
    void TearDown() override { module.Call(kSelectorShutdown, nullptr, nullptr); }

    // Selectors 17 and 18 for the whole of the audio; the writer handle, or null.
    void* OpenAndWrite(const fs::path& path, const Audio& audio) {
        RecordingWriteOpenRequest open(log);
        open.format = &format;
        open.path = path.u16string();
        if (module.Call(kSelectorOpenForWrite, nullptr, &open) != kResultOK) return nullptr;
        PlanarWriteRequest write;
        write.format = &format;
        for (int64_t at = 0; at < Audio::kFrames; at += 4096) {
            write.frameCount = std::min<int64_t>(4096, Audio::kFrames - at);
            write.channels = {audio.left.data() + at, audio.right.data() + at};
            if (module.Call(kSelectorWriteSamples, open.writeHandle, &write) != kResultOK) return nullptr;
        }
        return open.writeHandle;
    }
};

TEST_F(SavingHost, AFullDiskWhileFinishingRaisesAfterTheWriterIsGoneAndKeepsWhatWasWritten) {
    format.settingsText = u"BitsPerSecond:0:320;ChannelMode:0:0;";
    const Audio audio;
    const fs::path complete = TempPath("complete.mp2"), full = TempPath("full.mp2");
    RecordingCloseRequest close(log);
    void* writer = OpenAndWrite(complete, audio);
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(module.Call(kSelectorCloseWriter, writer, &close), kResultOK);
    const std::vector<char> reference = ReadBytes(complete);
    constexpr rlim_t kLimit = 300000; // the disk is "full" here, for the child alone
    ASSERT_GT(reference.size(), kLimit);
    ASSERT_LT(reference.size(), 1048576u);

    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
        void* handle = OpenAndWrite(full, audio);
        if (!handle) _exit(11);
        if (fs::file_size(full) != 0) _exit(12); // everything still waits in the stream buffer
        try {
            module.Call(kSelectorCloseWriter, handle, &close);
            _exit(13); // answered: the failure did not reach the host
        } catch (const std::exception& error) {
            // The writer is destroyed on the way out: its file is closed.
            if (DescriptorsOn(full) != 0) _exit(14);
            _exit(std::string(error.what()).find("File too large") != std::string::npos ? 0 : 15);
        } catch (...) {
            _exit(16);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "13: selector 19 answered instead of raising; 14: the file stayed open";
    const std::vector<char> kept = ReadBytes(full);
    EXPECT_EQ(kept.size(), kLimit);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), reference.begin())) << "the bytes kept are a prefix of the file";
    fs::remove(complete);
    fs::remove(full);
}

TEST_F(SavingHost, NullSettingsTextsReadAsEmpty) {
    format.nullSettingsText = true;
    RecordingConformRequest conform(log);
    conform.format = &format;
    ASSERT_EQ(module.Call(kSelectorConformWriteFormat, nullptr, &conform), kResultOK);
    EXPECT_NE(format.settingsText.find(u"BitsPerSecond:0:192;"), std::u16string::npos) << "the defaults written back";

    const fs::path out = TempPath("defaults.mp2");
    RecordingWriteOpenRequest open(log);
    open.format = &format;
    open.path = out.u16string();
    ASSERT_EQ(module.Call(kSelectorOpenForWrite, nullptr, &open), kResultOK);
    RecordingCloseRequest close(log);
    EXPECT_EQ(module.Call(kSelectorCloseWriter, open.writeHandle, &close), kResultOK);
    fs::remove(out);
}

// Each of these once got through selector 17: a NaN level crashed the host at the first block
// (model 3 reads outside its tables), a model number outside -1..4 failed every frame.
TEST_F(SavingHost, SettingsTheEncoderCannotUseFailAtOpenWithTheMessage) {
    const Audio audio;
    RecordingSink sink(log);
    const auto open = [&](const fs::path& path, const std::u16string& settings, void*& handle) {
        log.clear();
        format.settingsText = settings;
        RecordingWriteOpenRequest request(log);
        request.sink = &sink;
        request.format = &format;
        request.path = path.u16string();
        const int32_t result = module.Call(kSelectorOpenForWrite, nullptr, &request);
        handle = request.writeHandle;
        return result;
    };
    const fs::path out = TempPath("refused.mp2");
    const std::string message = "ShowMessage(Error 1 creating file " + out.string() +
                                ".  The destination may be full or no longer available.)";
    for (const char16_t* settings : {u"PAMType:0:3;ATH:0:2143289344;", u"PAMType:0:4;ATH:0:2143289344;",
                                     u"PAMType:0:3;ATH:0:2139095040;", u"PAMType:0:4;ATH:0:-8388608;",
                                     u"PAMType:0:5;", u"PAMType:0:-2;", u"PAMType:0:-2147483648;"}) {
        SCOPED_TRACE(Arg(settings));
        void* handle = nullptr;
        EXPECT_EQ(open(out, settings, handle), kResultFailed);
        EXPECT_EQ(handle, nullptr);
        EXPECT_EQ(std::count(log.begin(), log.end(), message), 1);
        EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& call) {
                      return call.starts_with("ShowMessage") || call.starts_with("TakeWriteHandle");
                  }), 1);
        EXPECT_TRUE(fs::exists(out) && fs::file_size(out) == 0) << "the created file stays, empty";
    }

    // A level that is not passed (models other than 3 and 4), the lowest model and a finite level
    // (-2.5 dB) still save.
    for (const char16_t* settings :
         {u"PAMType:0:1;ATH:0:2143289344;", u"PAMType:0:-1;", u"PAMType:0:4;ATH:0:-1071644672;"}) {
        SCOPED_TRACE(Arg(settings));
        void* handle = nullptr;
        ASSERT_EQ(open(out, settings, handle), kResultOK);
        PlanarWriteRequest write;
        write.format = &format;
        for (int64_t at = 0; at < 3 * 4096; at += 4096) {
            write.frameCount = 4096;
            write.channels = {audio.left.data() + at, audio.right.data() + at};
            EXPECT_EQ(module.Call(kSelectorWriteSamples, handle, &write), kResultOK);
        }
        RecordingCloseRequest close(log);
        EXPECT_EQ(module.Call(kSelectorCloseWriter, handle, &close), kResultOK);
        EXPECT_GT(fs::file_size(out), 0u);
    }
    fs::remove(out);
}
} // namespace
