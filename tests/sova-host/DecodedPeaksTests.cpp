// SPDX-License-Identifier: MIT
// The decoded MP2's peaks after encode --loudness, measured in parts by child processes: the same
// figures as one pass through the module, on plain streams (cut into parts) and on streams that
// are measured in one pass (damaged ones).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "host/DecodedPeaks.h"

namespace {
using hosttest::Host;
using hosttest::Shell;
using writertest::TempDir;

sovahost::HostOptions ModuleOptions() {
    sovahost::HostOptions options;
    options.modulePath = SOVA_MODULE_PATH;
    return options;
}

// The peaks with `jobs`, each figure the same as one pass gives.
void ExpectPartsMatchOnePass(sovahost::StartedModule& module, const std::string& path, size_t leastParts) {
    const auto one = sovahost::DecodedPeaks(module, path, 1);
    ASSERT_TRUE(one);
    for (const int jobs : {2, 3, 8}) {
        SCOPED_TRACE(std::to_string(jobs) + " jobs");
        EXPECT_GE(sovahost::DecodedPeakParts(path, jobs), std::min<size_t>(leastParts, static_cast<size_t>(jobs) * 4));
        const auto parts = sovahost::DecodedPeaks(module, path, jobs);
        ASSERT_TRUE(parts);
        EXPECT_EQ(parts->truePeakDbtp, one->truePeakDbtp);
        EXPECT_EQ(parts->samplePeakDbfs, one->samplePeakDbfs);
    }
}

TEST(DecodedPeaks, PartsGiveWhatOnePassGives) {
    const TempDir dir;
    sovahost::StartedModule module(ModuleOptions());
    ASSERT_EQ(module.StartResult(), 0);
    // Quiet pink noise and one click, which the 48 kHz stereo MP2 (2500 frames, cut into 6 parts)
    // decodes 181 samples into frame 1250, where a part begins: its peak is right only when the
    // part's decoder has settled on the frames before. Also 22.05 kHz mono (padded frames of two
    // sizes) and a broadcast WAV file.
    const std::string source = dir.File("click.wav");
    Shell("ffmpeg -nostdin -v error -y -f lavfi -i \"anoisesrc=c=pink:r=48000:d=60:a=0.05,"
          "aeval='val(0)+0.9*eq(n\\,1439700)'\" -ac 2 -c:a pcm_s16le '" + source + "'");
    struct Case {
        std::string name;
        std::vector<std::string> options;
        size_t leastParts;
    };
    for (const Case& c : {Case{"stereo.mp2", {"-b", "256"}, 4}, Case{"mono.mp2", {"--rate", "22050", "--channels", "1", "-b", "64", "-d"}, 2},
                          Case{"stereo.wav", {"-b", "192"}, 4}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"-q", "encode", "--jobs", "1"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {source, dir.File(c.name)});
        ASSERT_EQ(Host(args).status, 0);
        ExpectPartsMatchOnePass(module, dir.File(c.name), c.leastParts);
    }
}

TEST(DecodedPeaks, DamagedStreamIsMeasuredInOnePass) {
    const TempDir dir;
    sovahost::StartedModule module(ModuleOptions());
    ASSERT_EQ(module.StartResult(), 0);
    const std::string source = dir.File("tone.wav"), mp2 = dir.File("tone.mp2"), damaged = dir.File("damaged.mp2");
    Shell("ffmpeg -nostdin -v error -y -f lavfi -i \"sine=f=997:r=48000:d=30\" -ac 2 -c:a pcm_s16le '" + source + "'");
    ASSERT_EQ(Host({"-q", "encode", "-b", "192", source, mp2}).status, 0);
    std::ifstream in(mp2, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), 1000, '\x5a'); // junk between frames
    std::ofstream(damaged, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(sovahost::DecodedPeakParts(damaged, 4), 1u);
    const auto one = sovahost::DecodedPeaks(module, damaged, 1), four = sovahost::DecodedPeaks(module, damaged, 4);
    ASSERT_TRUE(one && four);
    EXPECT_EQ(four->truePeakDbtp, one->truePeakDbtp);
    EXPECT_FALSE(sovahost::DecodedPeaks(module, dir.File("missing.mp2"), 4));
}
} // namespace
