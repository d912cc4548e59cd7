// SPDX-License-Identifier: MIT
// The frame walk on bytes in memory: the frame visitor's contract (each audio frame once, in
// order, with exactly its bytes: what a per-frame check such as a CRC builds on), and inputs that
// files rarely hold but a walk must survive.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/FrameWalk.h"

namespace {
using sovahost::FrameHeader;
using sovahost::FrameWalk;
using sovahost::WalkFrames;

// MPEG-1 layer II, 192 kbit/s, 48000 Hz, stereo, no CRC: 576-byte frames.
std::vector<uint8_t> Frame(uint8_t fill) {
    std::vector<uint8_t> frame(576, fill);
    frame[0] = 0xFF, frame[1] = 0xFD, frame[2] = 0xA4, frame[3] = 0x04;
    return frame;
}

std::vector<uint8_t> Stream(int frames) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < frames; ++i) {
        const std::vector<uint8_t> frame = Frame(static_cast<uint8_t>(i));
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

TEST(FrameWalk, TheVisitorSeesEachAudioFrameOnceWithItsBytes) {
    std::vector<uint8_t> bytes = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
    bytes.resize(30, 0);
    const std::vector<uint8_t> stream = Stream(10);
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    std::vector<uint64_t> offsets;
    const FrameWalk walk = WalkFrames(bytes, [&](const FrameHeader& header, uint64_t offset, std::span<const uint8_t> frame) {
        EXPECT_EQ(frame.size(), header.length);
        EXPECT_EQ(frame[4], static_cast<uint8_t>(offsets.size())) << "the frame's own bytes";
        offsets.push_back(offset);
    });
    ASSERT_EQ(offsets.size(), 10u);
    for (size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(offsets[i], 30 + 576 * i);
    EXPECT_EQ(walk.frames, 10);
    EXPECT_EQ(walk.PromisedSamples(), 11520);
    EXPECT_EQ(walk.audioStart, 30u);
    EXPECT_TRUE(walk.problems.empty());
    EXPECT_FALSE(walk.VariableBitrate());
    EXPECT_DOUBLE_EQ(walk.AverageBitrate(), 192.0);
}

TEST(FrameWalk, InputsThatHoldNoWholeStream) {
    // Nothing, a tag alone, a tag that claims more than there is, a header's first bytes.
    for (const std::vector<uint8_t>& bytes : std::vector<std::vector<uint8_t>>{
             {}, {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0}, {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 0xFF}, {0xFF, 0xFD, 0xA4}}) {
        const FrameWalk walk = WalkFrames(bytes);
        EXPECT_FALSE(walk.Found());
        EXPECT_EQ(walk.PromisedSamples(), 0);
        EXPECT_LE(walk.audioEnd, bytes.size());
    }
    // A free-format first frame is named, not walked.
    std::vector<uint8_t> free = Stream(3);
    free[2] = 0x04;
    const FrameWalk walk = WalkFrames(free);
    EXPECT_TRUE(walk.freeFormat);
    EXPECT_EQ(walk.frames, 0);
    // One frame that ends the stream exactly is a stream; a frame's worth of zeros after it is junk.
    std::vector<uint8_t> one = Stream(1);
    EXPECT_EQ(WalkFrames(one).frames, 1);
    one.resize(one.size() * 2, 0);
    const FrameWalk padded = WalkFrames(one);
    ASSERT_EQ(padded.problems.size(), 1u);
    EXPECT_EQ(padded.problems[0].kind, sovahost::StreamProblem::Kind::Junk);
    EXPECT_EQ(padded.problems[0].offset, 576u);
    EXPECT_EQ(padded.problems[0].bytes, 576u);
}
} // namespace

namespace {
void AddChunk(std::vector<uint8_t>& bytes, const char* id, const std::vector<uint8_t>& body) {
    bytes.insert(bytes.end(), id, id + 4);
    const auto size = static_cast<uint32_t>(body.size());
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(size >> shift));
    bytes.insert(bytes.end(), body.begin(), body.end());
    if (size & 1) bytes.push_back(0);
}

// A WAV file holding MPEG audio: the frames are the data chunk, whatever chunks come before it
// (text that looks like a frame header among them) and after it.
TEST(FrameWalk, AWaveFilesDataChunkIsTheStream) {
    std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    AddChunk(bytes, "fmt ", std::vector<uint8_t>(40, 0));
    AddChunk(bytes, "bext", {0xFF, 0xFD, 0xA4, 0x04, 'x'}); // a header's bytes in the text, odd size
    const uint64_t dataStart = bytes.size() + 8;
    AddChunk(bytes, "data", Stream(4));
    AddChunk(bytes, "LIST", std::vector<uint8_t>(30, 'i'));
    const FrameWalk walk = WalkFrames(bytes);
    EXPECT_TRUE(walk.waveData);
    EXPECT_EQ(walk.audioStart, dataStart);
    EXPECT_EQ(walk.audioEnd, dataStart + 4 * 576);
    EXPECT_EQ(walk.frames, 4);
    EXPECT_TRUE(walk.problems.empty()) << walk.problems.front().InWords();

    // A WAV file without a data chunk holds no frames; a cut data chunk ends with the file.
    const std::vector<uint8_t> header(bytes.begin(), bytes.begin() + static_cast<long>(dataStart - 8));
    EXPECT_FALSE(WalkFrames(header).Found());
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(dataStart + 2 * 576 + 100));
    const FrameWalk cutWalk = WalkFrames(cut);
    EXPECT_EQ(cutWalk.frames, 2);
    ASSERT_EQ(cutWalk.problems.size(), 1u);
    EXPECT_EQ(cutWalk.problems.front().kind, sovahost::StreamProblem::Kind::Truncated);
}
} // namespace
