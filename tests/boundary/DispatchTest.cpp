// The real SovaMp2.sova, loaded with dlopen and driven only through SovaInterface, with host
// objects that record every call made on them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include "RecordingHost.h"

namespace {
using namespace sova::sdk;
using namespace boundarytest;
namespace fs = std::filesystem;

bool Contains(const Log& log, const std::string& entry) { return std::find(log.begin(), log.end(), entry) != log.end(); }

bool LibraryMapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(name) != std::string::npos) return true;
    return false;
}

// Open descriptors of this process that refer to path.
int DescriptorsOn(const fs::path& path) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        if (fs::read_symlink(entry.path(), linkError) == path) ++count;
    }
    return count;
}

class RealModule : public ::testing::Test {
protected:
    LoadedModule module{SOVA_MODULE_PATH};
    Log log;
    RecordingSink sink{log};
    int dummy = 0;
    void* someHandle = &dummy; // never looked at: every call with it fails its argument check first

    // Selector 0 as a host sends it once after loading: resources, codec libraries, registration.
    void Start() {
        Log registration;
        RecordingRegistrar registrar(registration);
        ASSERT_EQ(module.Call(kSelectorDescribePlugIn, nullptr, &registrar), kResultOK);
    }
    void Stop() { EXPECT_EQ(module.Call(kSelectorShutdown, nullptr, nullptr), kResultOK); }
};

// Selectors that need a request, a handle, or both: a missing one returns -6 (-1 for selector
// 19) before anything is called on the other argument.
TEST_F(RealModule, MissingArgumentsAreRefusedBeforeAnyCall) {
    for (int32_t selector : {0, 3, 4, 5, 13, 14, 15, 17})
        EXPECT_EQ(module.Call(selector, someHandle, nullptr), kResultMissingArgument) << "selector " << selector;

    RecordingAudioFormat request(log);
    for (int32_t selector : {6, 7, 8, 9, 10, 18}) {
        EXPECT_EQ(module.Call(selector, nullptr, &request), kResultMissingArgument) << "selector " << selector;
        EXPECT_EQ(module.Call(selector, someHandle, nullptr), kResultMissingArgument) << "selector " << selector;
    }
    for (int32_t selector : {11, 12})
        EXPECT_EQ(module.Call(selector, nullptr, &request), kResultMissingArgument) << "selector " << selector;

    RecordingCloseRequest close(log);
    EXPECT_EQ(module.Call(kSelectorCloseWriter, nullptr, &close), kResultFailed);
    EXPECT_EQ(module.Call(kSelectorCloseWriter, someHandle, nullptr), kResultFailed);

    EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(RealModule, SelectorZeroWithoutRequestLoadsNothing) {
    EXPECT_EQ(module.Call(kSelectorDescribePlugIn, nullptr, nullptr), kResultMissingArgument);
    EXPECT_FALSE(LibraryMapped("libmpg123"));
    EXPECT_FALSE(LibraryMapped("libtwolame"));
    // No module resources either: shutting down without them is the contract error.
    EXPECT_ANY_THROW(module.Call(kSelectorShutdown, nullptr, nullptr));
}

TEST_F(RealModule, UnknownSelectorsCallNothing) {
    RecordingAudioFormat request(log);
    for (int32_t selector : {16, 20, 21, 1000, -1, INT32_MIN, INT32_MAX})
        EXPECT_EQ(module.Call(selector, someHandle, &request), kResultUnknownSelector) << "selector " << selector;
    EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(RealModule, SelectorZeroPreparesTheRegistrarFirst) {
    RecordingRegistrar registrar(log);
    EXPECT_EQ(module.Call(kSelectorDescribePlugIn, nullptr, &registrar), kResultOK);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "Prepare(1,1)");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Prepare(1,1)"), 1);
    Stop();
}

TEST_F(RealModule, StartupAndShutdownNeedNoArguments) {
    Start();
    EXPECT_EQ(module.Call(kSelectorStartup, nullptr, nullptr), kResultOK);
    EXPECT_EQ(module.Call(kSelectorShutdown, nullptr, nullptr), kResultOK);
}

// Nothing is caught at the boundary: a second shut-down's contract error reaches the host.
TEST_F(RealModule, ExceptionsLeaveSovaInterface) {
    Start();
    Stop();
    EXPECT_ANY_THROW(module.Call(kSelectorShutdown, nullptr, nullptr));
}

TEST_F(RealModule, SelectorsThreeAndFourAskForTheSinkThenAnswerWithTheirDefaults) {
    RecordingRequest request3(log);
    request3.sink = &sink;
    EXPECT_EQ(module.Call(kSelector3, nullptr, &request3), kResultOK);
    EXPECT_EQ(log, Log{"GetMessageSink()"});

    log.clear();
    RecordingSelector4Request request4(log);
    EXPECT_EQ(module.Call(kSelector4, nullptr, &request4), kResultNotSupported);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "Op6(0)"}));
}

TEST_F(RealModule, SelectorsEightToElevenReadTheirValuesThenAnswerNotSupported) {
    RecordingSelector8Request request8(log);
    EXPECT_EQ(module.Call(kSelector8, someHandle, &request8), kResultNotSupported);
    EXPECT_EQ(log, (Log{"Op3()", "Op2()", "Op1()"}));

    log.clear();
    RecordingSelector10Request request10(log);
    EXPECT_EQ(module.Call(kSelector10, someHandle, &request10), kResultNotSupported);
    EXPECT_EQ(log, (Log{"Op4()", "Op3()", "Op2()", "Op1()"}));

    log.clear();
    RecordingAudioFormat anyRequest(log);
    EXPECT_EQ(module.Call(kSelector9, someHandle, &anyRequest), kResultNotSupported);
    EXPECT_EQ(module.Call(kSelector11, someHandle, &anyRequest), kResultNotSupported);
    EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(RealModule, SelectorThirteenProposesSixteenBitStereoAt44100) {
    RecordingAudioFormat format(log);
    format.sink = &sink;
    EXPECT_EQ(module.Call(kSelectorGetPreferredWriteFormat, nullptr, &format), kResultOK);
    EXPECT_EQ(log, (Log{"GetMessageSink()", "SetChannelCount(2)", "SetSampleRate(44100)", "SetSampleFormat(20)"}));
    EXPECT_EQ(format.channelCount, 2);
    EXPECT_EQ(format.sampleRate, 44100);
    EXPECT_EQ(format.sampleFormat, kSampleInt16);
}

TEST_F(RealModule, SelectorFourteenAsksForTheSinkFirst) {
    RecordingAudioFormat format(log);
    format.channelCount = 2;
    format.sampleRate = 44100;
    format.sampleFormat = kSampleInt16;
    format.length = 44100;
    RecordingConformRequest request(log);
    request.format = &format;
    module.Call(kSelectorConformWriteFormat, nullptr, &request);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "GetMessageSink()");
}

// An open that cannot create its writer keeps the writer to itself.
TEST_F(RealModule, SelectorSeventeenHandsNoWriterOverWhenTheOpenFails) {
    Start();
    RecordingAudioFormat format(log);
    format.channelCount = 2;
    format.sampleRate = 44100;
    format.sampleFormat = kSampleInt16;
    RecordingWriteOpenRequest request(log);
    request.sink = &sink;
    request.format = &format;
    const fs::path missingFolder = fs::path(::testing::TempDir()) / "no-such-folder" / "out.mp2";
    request.path = fs::path(missingFolder).u16string();
    EXPECT_NE(module.Call(kSelectorOpenForWrite, nullptr, &request), kResultOK);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "GetMessageSink()");
    EXPECT_FALSE(Contains(log, "TakeWriteHandle(ptr)"));
    EXPECT_FALSE(Contains(log, "TakeWriteHandle(null)"));
    EXPECT_EQ(request.writeHandle, nullptr);
    EXPECT_FALSE(fs::exists(missingFolder.parent_path()));
    Stop();
}

TEST_F(RealModule, SelectorFiveAsksForTheSinkFirstAndHandsNothingOverForAMissingFile) {
    Start();
    RecordingOpenRequest request(log);
    request.path = (fs::path(::testing::TempDir()) / "missing.mp2").u16string();
    EXPECT_NE(module.Call(kSelectorOpenForRead, nullptr, &request), kResultOK);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "GetMessageSink()");
    EXPECT_EQ(request.readHandle, nullptr);
    Stop();
}

// A one-second stereo MP2 made by the reference encoder from a WAV written here.
fs::path MakeMp2() {
    const fs::path folder = fs::path(::testing::TempDir()) / ("boundary-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path wav = folder / "tone.wav", mp2 = folder / "tone.mp2";
    const uint32_t rate = 44100, frames = rate, channels = 2, dataBytes = frames * channels * 2;
    std::ofstream out(wav, std::ios::binary);
    auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4); put32(36 + dataBytes); out.write("WAVEfmt ", 8);
    put32(16); put16(1); put16(channels); put32(rate); put32(rate * channels * 2); put16(channels * 2); put16(16);
    out.write("data", 4); put32(dataBytes);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto sample = static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * 440 * i / rate));
        put16(static_cast<uint16_t>(sample));
        put16(static_cast<uint16_t>(sample));
    }
    out.close();
    const std::string command = "twolame --quiet -b 192 '" + wav.string() + "' '" + mp2.string() + "'";
    if (std::system(command.c_str()) != 0 || !fs::exists(mp2)) return {};
    return mp2;
}

// The reading selectors on a real reader: 5 and 6 ask for the sink, 7 does not, and 12
// destroys the reader (the decoder lets go of the file).
TEST_F(RealModule, ReaderSelectorsAndCloseReaderDestroysTheReader) {
    const fs::path mp2 = MakeMp2();
    ASSERT_FALSE(mp2.empty()) << "twolame could not make the test file";
    Start();

    RecordingOpenRequest open(log);
    open.sink = &sink;
    open.path = mp2.u16string();
    const int32_t opened = module.Call(kSelectorOpenForRead, nullptr, &open);
    if (opened == kResultNotSupported) GTEST_SKIP() << "the module does not read files yet";
    ASSERT_EQ(opened, kResultOK);
    EXPECT_EQ(log.front(), "GetMessageSink()");
    EXPECT_TRUE(Contains(log, "TakeReadHandle(ptr)"));
    ASSERT_NE(open.readHandle, nullptr);
    EXPECT_GE(DescriptorsOn(fs::canonical(mp2)), 1);

    log.clear();
    RecordingAudioFormat format(log);
    EXPECT_EQ(module.Call(kSelectorGetReadFormat, open.readHandle, &format), kResultOK);
    EXPECT_EQ(log.front(), "GetMessageSink()");

    log.clear();
    std::vector<float> left(1152), right(1152);
    RecordingReadRequest read(log);
    read.frameCount = 1152;
    read.buffers = {left.data(), right.data()};
    EXPECT_EQ(module.Call(kSelectorReadSamples, open.readHandle, &read), kResultOK);
    EXPECT_FALSE(Contains(log, "GetMessageSink()"));
    EXPECT_GT(read.framesDone, 0);

    log.clear();
    EXPECT_EQ(module.Call(kSelectorCloseReader, open.readHandle, nullptr), kResultOK);
    EXPECT_EQ(DescriptorsOn(fs::canonical(mp2)), 0);
    EXPECT_TRUE(log.empty());
    Stop();
}
// The writing selectors on a real writer: 17 hands it over after the open succeeded, 18 and
// 19 ask for the sink first, 19 reads position 3 then 2, and the file holds MP2 frames.
TEST_F(RealModule, WriterSelectorsHandTheWriterOverAndCloseIt) {
    Start();
    const fs::path target = fs::path(::testing::TempDir()) / ("boundary-" + std::to_string(getpid()) + ".mp2");
    RecordingAudioFormat format(log);
    format.channelCount = 2;
    format.sampleRate = 44100;
    format.sampleFormat = kSampleFloat32;
    RecordingWriteOpenRequest open(log);
    open.sink = &sink;
    open.format = &format;
    open.path = target.u16string();
    const int32_t opened = module.Call(kSelectorOpenForWrite, nullptr, &open);
    if (opened == kResultNotSupported) GTEST_SKIP() << "the module does not write files yet";
    ASSERT_EQ(opened, kResultOK);
    EXPECT_EQ(log.front(), "GetMessageSink()");
    EXPECT_EQ(log.back(), "TakeWriteHandle(ptr)");
    EXPECT_EQ(std::count(log.begin(), log.end(), "TakeWriteHandle(ptr)"), 1);
    ASSERT_NE(open.writeHandle, nullptr);

    log.clear();
    std::vector<float> left(4608), right(4608);
    for (size_t i = 0; i < left.size(); ++i) left[i] = right[i] = 0.25f * static_cast<float>(std::sin(i * 0.0627));
    RecordingWriteRequest write(log);
    write.sink = &sink;
    write.format = &format;
    write.frameCount = static_cast<int64_t>(left.size());
    write.buffers = {left.data(), right.data()};
    EXPECT_EQ(module.Call(kSelectorWriteSamples, open.writeHandle, &write), kResultOK);
    EXPECT_EQ(log.front(), "GetMessageSink()");

    log.clear();
    RecordingCloseRequest close(log);
    close.sink = &sink;
    EXPECT_EQ(module.Call(kSelectorCloseWriter, open.writeHandle, &close), kResultOK);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ((Log{log[0], log[1], log[2]}), (Log{"GetMessageSink()", "Op3()", "Op2()"}));

    std::ifstream written(target, std::ios::binary);
    unsigned char header[2] = {};
    written.read(reinterpret_cast<char*>(header), 2);
    EXPECT_GT(fs::file_size(target), 0u);
    EXPECT_EQ(header[0], 0xFF); // frame sync, Layer II
    EXPECT_EQ(header[1] & 0xF6, 0xF4);
    Stop();
}
} // namespace
