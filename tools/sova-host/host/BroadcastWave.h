// SPDX-License-Identifier: MIT
// MPEG Layer II frames in a broadcast WAV file, the form many playout systems ingest. Layouts:
// Microsoft's mmreg.h (MPEG1WAVEFORMAT), ITU-R BS.1352 (MPEG in RIFF/WAVE and its mext chunk),
// EBU Tech 3285 version 2 and its Supplement 1 (bext, mext), EBU R 98 (coding history). The file
// holds, in this order: RIFF/WAVE, `fmt ` (format tag 0x0050, 40 bytes), `fact`, `mext`, `bext`,
// `data`. Files whose RIFF size would pass 4 GiB are refused (no RF64).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sovahost {
// What the frames are, from a walk of all of them.
struct LayerTwoStream {
    bool mpeg1 = true;          // else MPEG-2 LSF
    int32_t rate = 0, channels = 0;
    int32_t bitrateKbps = 0;    // of the first frame; 0 free format
    bool constantBitrate = true;
    int mode = 0;               // header: 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    unsigned modeExtensions = 0; // bit n set when some joint stereo frame uses mode extension n
    int emphasis = 0;           // header: 0 none, 1 50/15 us, 3 CCITT J.17
    bool privateBit = false, copyright = false, original = false, crc = false;
    bool padded = false;        // some frame is padded
    bool sameSize = true;       // every frame has the same length
    uint32_t frameBytes = 0;    // the length of an unpadded frame at the first frame's bitrate
    int64_t frames = 0, samples = 0; // samples per channel
    uint64_t dataBytes = 0;     // the frames' bytes
    bool energyLevels = false;  // TwoLAME's energy levels in the ancillary data (not in the headers)
};

// The text and numbers of the bext chunk. Text fields are ASCII, at most as long as their
// fields (256, 32, 32, 10, 8 bytes); longer text is cut, other bytes become '?'.
struct BroadcastText {
    std::string description, originator, originatorReference;
    std::string originationDate; // "yyyy-mm-dd"
    std::string originationTime; // "hh:mm:ss"
    uint64_t timeReference = 0;  // samples since midnight of the first sample
    std::string codingHistory;   // lines ending in "\r\n"
};

// Loudness as a bext chunk stores it; a missing value is stored as 0x7FFF.
struct StoredLoudness {
    std::optional<double> integratedLufs, rangeLu, maxTruePeakDbtp, maxMomentaryLufs, maxShortTermLufs;
};

// The 16-bit field for a value in hundredths, 0x7FFF when missing.
int16_t LoudnessField(const std::optional<double>& value);

// "A=MPEG1L2,F=48000,B=256,M=STEREO,T=sova-host 0.9\r\n": the coding history line of the frames.
std::string CodingHistoryLine(const LayerTwoStream& stream, const std::string& software);

// Every byte in front of the frames: RIFF header, fmt, fact, mext, bext and the data chunk's header.
// Throws std::runtime_error when the file would pass the 4 GiB of a RIFF size.
std::vector<uint8_t> BroadcastWaveHeader(const LayerTwoStream& stream, const BroadcastText& text,
                                         const StoredLoudness& loudness);

// Empty when `samples` per channel at `rate` and `kbps` make frames that fit in a WAV file; else
// why not, in words (checked before encoding; BroadcastWaveHeader checks the real size again).
std::string BroadcastWaveSizeProblem(int64_t samples, int32_t rate, int32_t kbps);

// Walks the raw Layer II frames in framesPath; throws std::runtime_error when they are not one
// clean Layer II stream (no frames, junk, a cut frame, a change of rate or layer).
LayerTwoStream DescribeLayerTwoFrames(const std::string& framesPath);

// Writes wavePath (created or emptied): the header, then framesPath's frames. Throws
// std::runtime_error naming the file on any failure; the caller removes the unfinished file.
void WriteBroadcastWave(const std::string& framesPath, const LayerTwoStream& stream, const BroadcastText& text,
                        const StoredLoudness& loudness, const std::string& wavePath);
} // namespace sovahost
