// SPDX-License-Identifier: MIT
// One loaded module, a read handle and a write handle used on two threads at once, as an editor
// does when it saves one file while it plays another. Each thread must get what it gets alone:
// the decoded samples of a file twolame made, and the twolame program's bytes for a save. The
// suite runs this under ThreadSanitizer too (scripts/build.sh tsan), which reports any shared
// state the two handles touch without a guard.
#include <cstdlib>
#include <latch>
#include <thread>

#include <gtest/gtest.h>

#include "WriterTestSupport.h"

namespace writertest {
namespace {
constexpr int kRate = 44100;
constexpr int kChannels = 2;

// Rounds of each thread; fewer where the build's sanitizer slows every call down.
int Rounds() {
    const char* rounds = std::getenv("SOVA_THREAD_ROUNDS");
    return rounds ? std::atoi(rounds) : 40;
}

// Selectors 5, 6, 7 until the end, 12: every sample of every channel, channel after channel.
// Empty when a call failed or the last read (-9) came without the length told on the way.
std::vector<float> ReadWhole(ModuleHost& host, const std::string& path) {
    sovahost::MessageSink sink; // one per thread: a sink records what it is shown
    sink.echo = false;
    sovahost::OpenRequest open;
    open.sink = &sink;
    open.path = sovahost::FromUtf8(path);
    if (host.Call(kSelectorOpenForRead, nullptr, &open) != kResultOK || !open.readHandle) return {};
    sovahost::AudioFormat format;
    format.sink = &sink;
    std::vector<std::vector<float>> channels;
    bool ended = false, lengthTold = false;
    if (host.Call(kSelectorGetReadFormat, open.readHandle, &format) == kResultOK &&
        format.sampleFormat == kSampleFloat32 && format.channelCount == kChannels) {
        std::vector<std::vector<float>> block(kChannels, std::vector<float>(4096));
        channels.resize(kChannels);
        while (true) {
            sovahost::ReadRequest read;
            read.frameCount = 4096;
            for (auto& channel : block) read.buffers.push_back(channel.data());
            const int32_t result = host.Call(kSelectorReadSamples, open.readHandle, &read);
            lengthTold |= read.lengthSet;
            for (int c = 0; c < kChannels; ++c)
                channels[c].insert(channels[c].end(), block[c].begin(), block[c].begin() + read.framesDone);
            if (result != kResultOK) {
                ended = result == kResultDecodeFailed && lengthTold;
                break;
            }
        }
    }
    host.Call(kSelectorCloseReader, open.readHandle, nullptr);
    if (!ended) return {};
    std::vector<float> all;
    for (const auto& channel : channels) all.insert(all.end(), channel.begin(), channel.end());
    return all;
}

TEST(TwoHandles, AReaderAndAWriterOnTwoThreadsEachGetWhatTheyGetAlone) {
    TempDir dir;
    ModuleHost host;
    ASSERT_EQ(host.StartResult(), kResultOK) << "the module did not start: codecs missing?";
    host.sink.echo = false;

    // What is read: 3 s that the twolame program encoded; what is saved: 2 s of other audio.
    const std::vector<int16_t> heard = TestSignal(3 * kRate + 123, kChannels, kRate);
    const std::vector<int16_t> saved = TestSignal(2 * kRate + 777, kChannels, kRate);
    WriteWav(dir.File("heard.wav"), heard, kChannels, kRate);
    WriteWav(dir.File("saved.wav"), saved, kChannels, kRate);
    TwolameReference(dir.File("heard.wav"), {"-b", "256"}, dir.File("heard.mp2"));
    const std::vector<uint8_t> reference =
        TwolameReference(dir.File("saved.wav"), {"-P", "1", "-o", "-b", "192"}, dir.File("reference.mp2"));
    const auto planes = Planar(saved, kChannels);

    // Alone first: the decoded samples, every frame that mpg123 decodes, and the program's bytes.
    const std::vector<float> alone = ReadWhole(host, dir.File("heard.mp2"));
    ASSERT_FALSE(alone.empty()) << "reading alone failed";
    EXPECT_EQ(static_cast<int64_t>(alone.size()) / kChannels, DecodeWithMpg123(dir.File("heard.mp2"), kChannels));
    const auto save = [&](const std::string& path) {
        const auto result = host.SaveAudio(path, kRate, "", kSampleInt16, planes, 4096);
        return result.conformResult == kResultOK && result.openResult == kResultOK && result.writeResults.empty() &&
               result.closeResult == kResultOK && ReadBytes(path) == reference;
    };
    ASSERT_TRUE(save(dir.File("alone.mp2"))) << "saving alone does not give the twolame program's bytes";

    const int rounds = Rounds();
    int readsDiffering = 0, savesDiffering = 0;
    std::latch start(2);
    std::thread reader([&] {
        start.arrive_and_wait();
        for (int i = 0; i < rounds; ++i) readsDiffering += ReadWhole(host, dir.File("heard.mp2")) != alone;
    });
    std::thread writer([&] {
        start.arrive_and_wait();
        for (int i = 0; i < rounds; ++i) savesDiffering += !save(dir.File("round" + std::to_string(i % 2) + ".mp2"));
    });
    reader.join();
    writer.join();
    EXPECT_EQ(readsDiffering, 0) << "of " << rounds << " reads beside a save";
    EXPECT_EQ(savesDiffering, 0) << "of " << rounds << " saves beside a read";
    EXPECT_TRUE(host.sink.messages.empty()) << "the module showed a message";
    RecordProperty("rounds", rounds);
}
} // namespace
} // namespace writertest
