// The real sova-host process: `info` and `decode` as people run them.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

#include "TestMedia.h"

namespace readertest {
namespace {
namespace fs = std::filesystem;

struct Output {
    int exitCode = -1;
    std::string text; // stdout only
};

Output RunHost(const std::string& arguments) {
    const std::string command = std::string(Quote(SOVA_HOST_PATH)) + " --module " + Quote(SOVA_MODULE_PATH) + " " +
                                arguments + " 2>/dev/null";
    Output output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.text.append(chunk, got);
    const int status = pclose(pipe);
    output.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(SovaHostInfo, ReportsWhatTheModuleSaysAndRefusalsInWords) {
    const fs::path joint = MakeSample(Sample::JointCopyright);
    const fs::path mono = MakeSample(Sample::Mono);
    const fs::path avi = WorkFolder() / "clip.avi";
    fs::copy_file(joint, avi, fs::copy_options::overwrite_existing);
    const Output output = RunHost("info " + Quote(joint) + " " + Quote(mono) + " " + Quote(avi) + " " +
                                  Quote(WorkFolder() / "absent.mp2"));
    EXPECT_EQ(output.exitCode, 1) << "a refused file makes the command fail";
    const std::string& text = output.text;
    const size_t monoAt = text.find(mono.string());
    const size_t aviAt = text.find(avi.string());
    ASSERT_NE(monoAt, std::string::npos);
    ASSERT_NE(aviAt, std::string::npos);
    const std::string jointPart = text.substr(0, monoAt);
    const std::string monoPart = text.substr(monoAt, aviAt - monoAt);
    const std::string refusedPart = text.substr(aviAt);

    EXPECT_TRUE(Contains(jointPart, "description:  MPEG-1 Audio Layer II, 128 kbps CBR (Joint Stereo)\n")) << text;
    EXPECT_TRUE(Contains(jointPart, "sample rate:  44100 Hz\n")) << text;
    EXPECT_TRUE(Contains(jointPart, "channels:     2 (types 100, 101)\n")) << text;
    EXPECT_TRUE(Contains(jointPart, "BitsPerSecond:0:128;CRC:0:0;ChannelMode:0:1;CompressionType:0:0;Copy:0:1;"))
        << text;
    EXPECT_TRUE(Contains(jointPart, "length:       88704 frames (2.011 s)\n")) << text;
    EXPECT_TRUE(Contains(monoPart, "channels:     1 (types 0)\n")) << text;
    EXPECT_TRUE(Contains(refusedPart, "refused:      -4 (unsupported or unusable file)\n")) << text;
    EXPECT_TRUE(Contains(refusedPart, "absent.mp2\n  refused:      -1 (failure)\n")) << text;
}

std::vector<float> ReadWithSndfile(const fs::path& file, int& channels, int& format) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (!sound) throw std::runtime_error("libsndfile cannot read " + file.string());
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(sound, samples.data(), info.frames);
    sf_close(sound);
    channels = info.channels;
    format = info.format;
    return samples;
}

TEST(SovaHostDecode, WritesRawWavAndFlacOfTheDecodedStream) {
    const fs::path input = MakeSample(Sample::JointCrc);
    const std::vector<float> reference = ReferenceSamples(input);
    const fs::path raw = WorkFolder() / "decoded.f32";
    const fs::path wav = WorkFolder() / "decoded.wav";
    const fs::path flac = WorkFolder() / "decoded.flac";

    const Output rawRun = RunHost("decode --block 777 " + Quote(input) + " " + Quote(raw));
    ASSERT_EQ(rawRun.exitCode, 0);
    EXPECT_TRUE(Contains(rawRun.text, "88704 frames")) << rawRun.text;
    EXPECT_FALSE(Contains(rawRun.text, "without confirming")) << rawRun.text;
    const std::vector<char> bytes = ReadAll(raw);
    ASSERT_EQ(bytes.size(), reference.size() * sizeof(float));
    EXPECT_EQ(std::memcmp(bytes.data(), reference.data(), bytes.size()), 0);

    ASSERT_EQ(RunHost("decode " + Quote(input) + " " + Quote(wav)).exitCode, 0);
    int channels = 0;
    int format = 0;
    EXPECT_EQ(ReadWithSndfile(wav, channels, format), reference);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);

    ASSERT_EQ(RunHost("decode " + Quote(input) + " " + Quote(flac)).exitCode, 0);
    const std::vector<float> fromFlac = ReadWithSndfile(flac, channels, format);
    EXPECT_EQ(format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    ASSERT_EQ(fromFlac.size(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i)
        ASSERT_NEAR(fromFlac[i], reference[i], 1.0 / (1 << 23)) << "sample " << i;

    EXPECT_EQ(RunHost("decode " + Quote(input) + " " + Quote(WorkFolder() / "decoded.ogg")).exitCode, 2);
    EXPECT_EQ(RunHost("decode " + Quote(WorkFolder() / "absent.mp2") + " " + Quote(raw)).exitCode, 1);
}
} // namespace
} // namespace readertest
