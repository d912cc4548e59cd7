// SPDX-License-Identifier: MIT
// The Layer II CRC on real encoders' output: every frame twolame writes with -p, at each MPEG
// rate, in each channel mode and at bitrates that reach each of the five allocation tables, must
// match; a bit flipped in a frame's side information must not; ffmpeg's mp2 encoder writes no CRC.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "host/FrameAudit.h"
#include "host/LayerTwoCrc.h"
#include "Process.h"
#include "WriterTestSupport.h"

namespace {
using Bytes = std::vector<uint8_t>;

using hosttest::Shell;

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A different tone in each channel, with pink noise in the left one if `noisy`: twolame's joint
// stereo chooses the bounds of mode extensions 0 and 3 for the tones alone and 1 and 2 with the
// noise. Made once per rate, channel count and signal.
std::string MakeSource(const writertest::TempDir& dir, int rate, int channels, bool noisy = false) {
    const std::string r = std::to_string(rate);
    const std::string path = dir.File("source-" + r + "-" + std::to_string(channels) + (noisy ? "-noisy" : "") + ".wav");
    if (std::filesystem::exists(path)) return path;
    const std::string left = noisy ? "sine=f=440:r=" + r + ":d=1[t];anoisesrc=c=pink:r=" + r +
                                         ":a=0.05:d=1:seed=7[n];[t][n]amix=inputs=2[a]"
                                   : "sine=f=440:r=" + r + ":d=1[a]";
    Shell("ffmpeg -nostdin -v error -y -filter_complex '" + left + ";sine=f=1234:r=" + r +
          ":d=1[b];[a][b]amerge=inputs=2,volume=0.5' -ac " + std::to_string(channels) + " -c:a pcm_s16le '" + path + "'");
    return path;
}

struct Encoding {
    int rate;
    char mode; // twolame's -m: s, j, d or m
    int kbps;
    std::string extra; // further twolame options
};

// At each MPEG-1 rate, bitrates per channel on both sides of each boundary between the tables:
// B.2a (48000 Hz from 56 kbit/s per channel, else 56 to 80), B.2b (32000 and 44100 Hz from 96),
// B.2c (44100 and 48000 Hz up to 48) and B.2d (32000 Hz up to 48). MPEG-2 LSF has one table.
std::vector<Encoding> Encodings() {
    std::vector<Encoding> encodings;
    for (int rate : {32000, 44100, 48000}) {
        for (int kbps : {64, 112, 160, 192, 384}) encodings.push_back({rate, 's', kbps, ""});
        for (int kbps : {64, 128, 256, 384}) encodings.push_back({rate, 'j', kbps, ""});
        for (int kbps : {96, 256}) encodings.push_back({rate, 'd', kbps, ""});
        for (int kbps : {32, 48, 56, 80, 96, 192}) encodings.push_back({rate, 'm', kbps, ""});
    }
    encodings.push_back({44100, 'j', 192, "-d"});      // padded frames
    encodings.push_back({48000, 's', 256, "-E"});      // energy levels in the ancillary data
    encodings.push_back({48000, 'j', 192, "-c -o -e 5"}); // header flags and emphasis
    for (int rate : {16000, 22050, 24000}) {
        for (char mode : {'s', 'j'})
            for (int kbps : {16, 64, 160}) encodings.push_back({rate, mode, kbps, ""});
        for (int kbps : {8, 48, 160}) encodings.push_back({rate, 'm', kbps, ""});
    }
    return encodings;
}

std::string Name(const Encoding& e) {
    return std::to_string(e.rate) + " Hz, -m " + e.mode + ", " + std::to_string(e.kbps) + " kbit/s " + e.extra;
}

TEST(LayerTwoCrc, EveryFrameTwolameWritesMatches) {
    writertest::TempDir dir;
    std::set<int> extensionsSeen;
    std::set<int> subbandCounts;
    int files = 0;
    for (const Encoding& encoding : Encodings()) {
        for (const bool noisy : {false, true}) {
            if (noisy && encoding.mode != 'j') continue;
            const std::string source = MakeSource(dir, encoding.rate, encoding.mode == 'm' ? 1 : 2, noisy);
            const std::string mp2 = dir.File("out.mp2");
            Shell("twolame --quiet -p -m " + std::string(1, encoding.mode) + " -b " + std::to_string(encoding.kbps) + " " +
                  encoding.extra + " '" + source + "' '" + mp2 + "'");
            const sovahost::FrameAudit audit = sovahost::AuditFrames(mp2);
            ASSERT_TRUE(audit.walk && audit.walk->Found()) << Name(encoding);
            EXPECT_TRUE(audit.walk->problems.empty()) << Name(encoding);
            EXPECT_TRUE(audit.changes.empty()) << Name(encoding) << ": the " << audit.changes.front().field << " changes";
            EXPECT_GT(audit.walk->frames, 10) << Name(encoding);
            EXPECT_EQ(audit.crcFrames, audit.walk->frames) << Name(encoding);
            EXPECT_EQ(audit.crcChecked, audit.walk->frames) << Name(encoding);
            EXPECT_TRUE(audit.crcMismatches.empty())
                << Name(encoding) << ": " << audit.crcMismatches.size() << " mismatches, the first in frame "
                << audit.crcMismatches.front().frame;
            extensionsSeen.insert(audit.modeExtensions.begin(), audit.modeExtensions.end());
            subbandCounts.insert(sovahost::layer2::AllocationTableFor(*audit.walk->first)->subbands);
            ++files;
        }
    }
    EXPECT_EQ(extensionsSeen, (std::set<int>{0, 1, 2, 3})) << "every joint stereo bound was exercised";
    EXPECT_EQ(subbandCounts, (std::set<int>{8, 12, 27, 30})) << "every allocation table was exercised";
    EXPECT_GT(files, static_cast<int>(Encodings().size()));
}

// The frame that begins at `offset` in bytes, as the walk reports it.
struct FrameAt {
    uint64_t offset = 0;
    size_t length = 0;
};

std::vector<FrameAt> Frames(const Bytes& bytes) {
    std::vector<FrameAt> frames;
    sovahost::WalkFrames(bytes, [&](const sovahost::FrameHeader& header, uint64_t offset, std::span<const uint8_t>) {
        frames.push_back({offset, header.length});
    });
    return frames;
}

TEST(LayerTwoCrc, AFlippedSideInformationBitFailsThatFrameOnly) {
    writertest::TempDir dir;
    for (const Encoding& encoding : {Encoding{48000, 'j', 256, ""}, Encoding{44100, 'm', 64, ""}, Encoding{24000, 's', 96, ""}}) {
        const std::string source = MakeSource(dir, encoding.rate, encoding.mode == 'm' ? 1 : 2);
        const std::string mp2 = dir.File("out.mp2");
        Shell("twolame --quiet -p -m " + std::string(1, encoding.mode) + " -b " + std::to_string(encoding.kbps) + " '" +
            source + "' '" + mp2 + "'");
        const Bytes intact = ReadBytes(mp2);
        const std::vector<FrameAt> frames = Frames(intact);
        ASSERT_GT(frames.size(), 20u);
        // Every bit of the first allocation fields (bytes 6 and 7: subbands 0 and 1), of the header's
        // last 16 bits that keep the frame's length and channels, and of the stored CRC itself.
        for (const size_t byte : {2u, 3u, 4u, 5u, 6u, 7u}) {
            for (int bit = 0; bit < 8; ++bit) {
                // Bitrate, rate and padding change the frame's length, the mode its channels: another walk.
                if (byte == 2 && bit != 7) continue;
                if (byte == 3 && bit < 2) continue;
                Bytes damaged = intact;
                damaged[frames[12].offset + byte] ^= static_cast<uint8_t>(0x80 >> bit);
                const sovahost::FrameAudit audit = sovahost::AuditFrames(damaged);
                ASSERT_EQ(audit.crcMismatches.size(), 1u) << Name(encoding) << ", byte " << byte << " bit " << bit;
                EXPECT_EQ(audit.crcMismatches[0].frame, 13);
                EXPECT_EQ(audit.crcMismatches[0].offset, frames[12].offset);
            }
        }
        // The last byte of a frame is sample data: the CRC does not cover it.
        Bytes damaged = intact;
        damaged[frames[12].offset + frames[12].length - 1] ^= 0x01;
        EXPECT_TRUE(sovahost::AuditFrames(damaged).crcMismatches.empty()) << Name(encoding);
    }
}

TEST(LayerTwoCrc, FfmpegWritesNoCrc) {
    writertest::TempDir dir;
    for (const char* encoder : {"mp2", "mp2fixed"}) {
        for (int rate : {16000, 22050, 24000, 32000, 44100, 48000}) {
            const std::string mp2 = dir.File("out.mp2");
            Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'sine=f=440:r=" + std::to_string(rate) + ":d=1' -ac 2 -c:a " +
                encoder + " -b:a 128k '" + mp2 + "'");
            const sovahost::FrameAudit audit = sovahost::AuditFrames(mp2);
            ASSERT_TRUE(audit.walk && audit.walk->Found()) << encoder << " " << rate;
            EXPECT_EQ(audit.crcFrames, 0) << encoder << " " << rate;
            EXPECT_TRUE(audit.walk->problems.empty()) << encoder << " " << rate;
        }
    }
}
} // namespace
