// SPDX-License-Identifier: MIT
// Walking every frame header of an MPEG audio file, from after its ID3v2 tags to before its end
// tags (ID3v1, APEv2, Lyrics3v2), or through the data chunk of a RIFF/WAVE file that holds MPEG
// audio (a broadcast WAV file), with sova-host's own header reader. The walk finds what the
// headers promise (frames, samples, bitrates) and where the stream breaks that promise: junk
// between frames (a resync), a truncated last frame, a change of version, layer, rate or channels,
// and a frame count that differs from the one a Xing, Info or VBRI header announces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/FrameHeaders.h"

namespace sovahost {
struct StreamProblem {
    enum class Kind { Junk, Truncated, FormatChange, FrameCount };
    Kind kind = Kind::Junk;
    uint64_t offset = 0;       // byte in the file where it begins
    uint64_t bytes = 0;        // junk: its length; truncated: the bytes of the last frame present
    uint64_t expected = 0;     // truncated: the frame's length; frame count: the frames announced
    uint64_t found = 0;        // frame count: the frames found
    int64_t samplesBefore = 0; // samples per channel in the frames before it
    double seconds = 0;        // their duration, each frame at its own rate
    std::string detail;        // format change: "from ... to ..."

    const char* KindName() const; // "junk", "truncated", "format change", "frame count"
    std::string InWords() const;  // "4096 bytes of junk at byte 120345 (3.135 s)"
};

// A Xing, Info or VBRI header in the first frame: that frame holds no audio.
struct InfoFrame {
    std::string name;             // "Xing", "Info" or "VBRI"
    std::optional<int64_t> frames; // the audio frames it announces
    int encoderDelay = 0, encoderPadding = 0; // samples a gapless decoder drops (LAME tag)
    bool gapless = false;         // a LAME tag gave the delay and padding
};

struct EndTag {
    std::string name; // "ID3v2", "ID3v1", "APEv2" or "Lyrics3v2"
    uint64_t offset = 0, bytes = 0;
};

struct FrameWalk {
    uint64_t fileBytes = 0;
    uint64_t audioStart = 0, audioEnd = 0; // the bytes between the tags, or of a WAV file's data chunk
    bool waveData = false;               // the frames are the data chunk of a RIFF/WAVE file
    std::vector<EndTag> tags;
    std::optional<FrameHeader> first;    // the first audio frame's header
    bool freeFormat = false;             // the stream starts with a free-format frame: not walked
    std::optional<InfoFrame> info;
    int64_t frames = 0;                  // whole audio frames
    int64_t samples = 0;                 // their samples per channel
    double seconds = 0;                  // their duration
    uint64_t audioBytes = 0;             // their bytes
    int minBitrate = 0, maxBitrate = 0;  // kbit/s over those frames
    bool padded = false, crc = false;    // some frame is padded, has a CRC
    int64_t truncatedSamples = 0;        // the samples a truncated last frame would have held
    std::vector<StreamProblem> problems; // in the order of the file

    bool Found() const { return first.has_value(); }
    int64_t WalkedFrames() const { return frames + (truncatedSamples > 0 ? 1 : 0); } // a truncated one too
    bool VariableBitrate() const { return minBitrate != maxBitrate; }
    double AverageBitrate() const; // kbit/s over the audio frames
    // What a decoder is promised: the samples of every frame the headers show or announce (a
    // truncated one and those an Info header announces besides), less a LAME tag's delay and
    // padding, which libmpg123 drops.
    int64_t PromisedSamples() const;
};

// Called for each audio frame walked, with its header, where it begins and its bytes (header
// included); a frame check (CRC) goes here.
using FrameVisitor = std::function<void(const FrameHeader& header, uint64_t offset, std::span<const uint8_t> frame)>;

// Walks the file; nullopt when it cannot be read.
std::optional<FrameWalk> WalkFrames(const std::string& path, const FrameVisitor& visit = {});
// The same on bytes in memory.
FrameWalk WalkFrames(std::span<const uint8_t> bytes, const FrameVisitor& visit = {});
} // namespace sovahost
