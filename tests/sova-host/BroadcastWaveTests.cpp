// SPDX-License-Identifier: MIT
// The broadcast WAV header, field by field at the offsets of the published layouts: the RIFF
// header, MPEG1WAVEFORMAT (mmreg.h), fact, mext (EBU Tech 3285 Supplement 1), bext version 2
// (EBU Tech 3285) and the data chunk's header; and the reader that `info` uses on it.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/BroadcastWave.h"
#include "host/BroadcastWaveReader.h"

namespace sovahost {
namespace {
uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& bytes, size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); }
std::string Text(const std::vector<uint8_t>& bytes, size_t at, size_t size) {
    return std::string(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
}

// 10 s of 48 kHz joint stereo at 256 kbit/s with CRCs: 417 frames of 768 bytes.
LayerTwoStream JointStereo48k() {
    LayerTwoStream stream;
    stream.mpeg1 = true;
    stream.rate = 48000;
    stream.channels = 2;
    stream.bitrateKbps = 256;
    stream.mode = 1;
    stream.modeExtensions = 0b0101; // extensions 0 and 2 used
    stream.emphasis = 0;
    stream.copyright = true;
    stream.crc = true;
    stream.frameBytes = 768;
    stream.frames = 417;
    stream.samples = 417 * 1152;
    stream.dataBytes = 417 * 768;
    return stream;
}

BroadcastText SomeText() {
    BroadcastText text;
    text.description = "Morning news, 7 o'clock";
    text.originator = "Radio Sova";
    text.originatorReference = "RS-2026-0001";
    text.originationDate = "2026-12-06";
    text.originationTime = "07:00:00";
    text.timeReference = (uint64_t{1} << 32) + 5;
    text.codingHistory = "A=MPEG1L2,F=48000,B=256,M=JOINT-STEREO,T=sova-host 0.91\r\n"; // 57 bytes: odd
    return text;
}

TEST(BroadcastWaveHeader, EveryChunkAtTheOffsetsOfItsLayout) {
    StoredLoudness loudness;
    loudness.integratedLufs = -23.04;
    loudness.rangeLu = 6.5;
    loudness.maxTruePeakDbtp = -1.2;
    loudness.maxMomentaryLufs = -15.555; // rounds to -15.56
    // no short-term maximum: stored as 0x7FFF
    const LayerTwoStream stream = JointStereo48k();
    const BroadcastText text = SomeText();
    const std::vector<uint8_t> h = BroadcastWaveHeader(stream, text, loudness);

    const size_t bextBody = 602 + text.codingHistory.size();
    ASSERT_EQ(bextBody % 2, 1u); // a pad byte follows the chunk
    ASSERT_EQ(h.size(), 12u + 48 + 12 + 20 + 8 + bextBody + 1 + 8);
    EXPECT_EQ(Text(h, 0, 4), "RIFF");
    EXPECT_EQ(U32(h, 4), h.size() - 8 + stream.dataBytes); // even data: no pad after it
    EXPECT_EQ(Text(h, 8, 4), "WAVE");

    // fmt: WAVEFORMATEX then the MPEG-1 fields, 40 bytes
    EXPECT_EQ(Text(h, 12, 4), "fmt ");
    EXPECT_EQ(U32(h, 16), 40u);
    const size_t f = 20;
    EXPECT_EQ(U16(h, f + 0), 0x0050);      // wFormatTag
    EXPECT_EQ(U16(h, f + 2), 2);           // nChannels
    EXPECT_EQ(U32(h, f + 4), 48000u);      // nSamplesPerSec
    EXPECT_EQ(U32(h, f + 8), 32000u);      // nAvgBytesPerSec
    EXPECT_EQ(U16(h, f + 12), 768);        // nBlockAlign: one frame
    EXPECT_EQ(U16(h, f + 14), 0);          // wBitsPerSample
    EXPECT_EQ(U16(h, f + 16), 22);         // cbSize
    EXPECT_EQ(U16(h, f + 18), 2);          // fwHeadLayer: ACM_MPEG_LAYER2
    EXPECT_EQ(U32(h, f + 20), 256000u);    // dwHeadBitrate
    EXPECT_EQ(U16(h, f + 24), 0x0002);     // fwHeadMode: ACM_MPEG_JOINTSTEREO
    EXPECT_EQ(U16(h, f + 26), 0b0101);     // fwHeadModeExt
    EXPECT_EQ(U16(h, f + 28), 1);          // wHeadEmphasis: none
    EXPECT_EQ(U16(h, f + 30), 0x0002 | 0x0008 | 0x0010); // copyright, protection, MPEG-1
    EXPECT_EQ(U32(h, f + 32), 0u);         // dwPTSLow
    EXPECT_EQ(U32(h, f + 36), 0u);         // dwPTSHigh

    EXPECT_EQ(Text(h, 60, 4), "fact");
    EXPECT_EQ(U32(h, 64), 4u);
    EXPECT_EQ(U32(h, 68), 417u * 1152);

    EXPECT_EQ(Text(h, 72, 4), "mext");
    EXPECT_EQ(U32(h, 76), 12u);
    EXPECT_EQ(U16(h, 80), 0x0001 | 0x0002); // homogeneous, padding never used
    EXPECT_EQ(U16(h, 82), 768);             // wFrameSize
    EXPECT_EQ(U16(h, 84), 0);               // wAncillaryDataLength
    EXPECT_EQ(U16(h, 86), 0);               // wAncillaryDataDef
    EXPECT_EQ(U32(h, 88), 0u);              // reserved

    EXPECT_EQ(Text(h, 92, 4), "bext");
    EXPECT_EQ(U32(h, 96), bextBody);
    const size_t b = 100;
    EXPECT_EQ(Text(h, b, 256), text.description + std::string(256 - text.description.size(), '\0'));
    EXPECT_EQ(Text(h, b + 256, 32), text.originator + std::string(32 - text.originator.size(), '\0'));
    EXPECT_EQ(Text(h, b + 288, 32), text.originatorReference + std::string(32 - text.originatorReference.size(), '\0'));
    EXPECT_EQ(Text(h, b + 320, 10), "2026-12-06");
    EXPECT_EQ(Text(h, b + 330, 8), "07:00:00");
    EXPECT_EQ(U32(h, b + 338), 5u); // TimeReference, low then high
    EXPECT_EQ(U32(h, b + 342), 1u);
    EXPECT_EQ(U16(h, b + 346), 2);  // Version
    EXPECT_EQ(Text(h, b + 348, 64), std::string(64, '\0')); // UMID
    EXPECT_EQ(static_cast<int16_t>(U16(h, b + 412)), -2304);
    EXPECT_EQ(static_cast<int16_t>(U16(h, b + 414)), 650);
    EXPECT_EQ(static_cast<int16_t>(U16(h, b + 416)), -120);
    EXPECT_EQ(static_cast<int16_t>(U16(h, b + 418)), -1556);
    EXPECT_EQ(U16(h, b + 420), 0x7FFF);
    EXPECT_EQ(Text(h, b + 422, 180), std::string(180, '\0'));
    EXPECT_EQ(Text(h, b + 602, text.codingHistory.size()), text.codingHistory);
    EXPECT_EQ(h[b + bextBody], 0); // the pad byte

    const size_t d = b + bextBody + 1;
    EXPECT_EQ(Text(h, d, 4), "data");
    EXPECT_EQ(U32(h, d + 4), stream.dataBytes);
}

TEST(BroadcastWaveHeader, PaddedMonoAt44100IsNotHomogeneous) {
    LayerTwoStream stream;
    stream.mpeg1 = true;
    stream.rate = 44100;
    stream.channels = 1;
    stream.bitrateKbps = 128;
    stream.mode = 3;
    stream.emphasis = 3;
    stream.original = true;
    stream.privateBit = true;
    stream.padded = true;
    stream.sameSize = false;
    stream.energyLevels = true;
    stream.frameBytes = 417;
    stream.dataBytes = 4171; // odd: a pad byte follows the data
    const std::vector<uint8_t> h = BroadcastWaveHeader(stream, {}, {});
    EXPECT_EQ(U32(h, 4), h.size() - 8 + 4172);
    EXPECT_EQ(U16(h, 20 + 12), 1);      // nBlockAlign: frames differ in size
    EXPECT_EQ(U16(h, 20 + 24), 0x0008); // ACM_MPEG_SINGLECHANNEL
    EXPECT_EQ(U16(h, 20 + 26), 0);      // no mode extension outside joint stereo
    EXPECT_EQ(U16(h, 20 + 28), 4);      // CCITT J.17
    EXPECT_EQ(U16(h, 20 + 30), 0x0001 | 0x0004 | 0x0010); // private, original, MPEG-1
    EXPECT_EQ(U16(h, 80), 0);           // not homogeneous, padding used
    EXPECT_EQ(U16(h, 82), 417);         // the nominal frame size of a constant bitrate
    EXPECT_EQ(U16(h, 84), 3);           // energy levels: 3 bytes in mono
    EXPECT_EQ(U16(h, 86), 0x0001);      // energy of the left (only) channel
    for (size_t field = 0; field < 5; ++field) EXPECT_EQ(U16(h, 100 + 412 + 2 * field), 0x7FFF);
    EXPECT_EQ(U32(h, 96), 602u);        // an empty coding history
}

TEST(BroadcastWaveHeader, UnpaddedAt44100SaysSoAndMpeg2HasNoMpeg1Flag) {
    LayerTwoStream stream;
    stream.mpeg1 = false;
    stream.rate = 22050;
    stream.channels = 2;
    stream.bitrateKbps = 96;
    stream.frameBytes = 626;
    stream.dataBytes = 626 * 4;
    const std::vector<uint8_t> h = BroadcastWaveHeader(stream, {}, {});
    EXPECT_EQ(U16(h, 80), 0x0001 | 0x0002 | 0x0004);
    EXPECT_EQ(U16(h, 20 + 30) & 0x0010, 0);
    EXPECT_EQ(CodingHistoryLine(stream, "sova-host 1.0"), "A=MPEG2L2,F=22050,B=96,M=STEREO,T=sova-host 1.0\r\n");
}

TEST(BroadcastWaveHeader, RefusesWhatARiffSizeCannotHold) {
    LayerTwoStream stream = JointStereo48k();
    stream.dataBytes = (uint64_t{1} << 32) - 700;
    EXPECT_THROW(BroadcastWaveHeader(stream, {}, {}), std::runtime_error);
    stream.dataBytes = (uint64_t{1} << 32) - 1000;
    EXPECT_NO_THROW(BroadcastWaveHeader(stream, {}, {}));
    // Before encoding: 24 hours at 384 kbit/s (4.15e9 bytes) fit, 25 hours do not; 32 kbit/s mono for days does.
    EXPECT_EQ(BroadcastWaveSizeProblem(int64_t{48000} * 3600 * 24, 48000, 384), "");
    EXPECT_NE(BroadcastWaveSizeProblem(int64_t{48000} * 3600 * 25, 48000, 384), "");
    EXPECT_EQ(BroadcastWaveSizeProblem(int64_t{48000} * 3600 * 24 * 10, 48000, 32), "");
}

TEST(BroadcastWaveHeader, TextIsAsciiAndCutToItsField) {
    BroadcastText text;
    text.description = std::string(300, 'x');
    text.originator = "Caf\xc3\xa9 Radio";
    const std::vector<uint8_t> h = BroadcastWaveHeader(JointStereo48k(), text, {});
    EXPECT_EQ(Text(h, 100, 256), std::string(256, 'x'));
    EXPECT_EQ(Text(h, 100 + 256, 12), "Caf?? Radio" + std::string(1, '\0'));
}

TEST(BroadcastWaveReader, ReadsBackWhatTheHeaderHolds) {
    char folder[] = "/tmp/sova-bwf-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/news.wav";
    StoredLoudness loudness;
    loudness.integratedLufs = -23.0;
    loudness.maxTruePeakDbtp = -1.5;
    const LayerTwoStream stream = JointStereo48k();
    std::vector<uint8_t> bytes = BroadcastWaveHeader(stream, SomeText(), loudness);
    bytes.resize(bytes.size() + stream.dataBytes, 0xAA);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));

    const std::optional<BroadcastWaveFacts> facts = ReadBroadcastWave(path);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->formatTag, 0x0050);
    ASSERT_TRUE(facts->mpeg && facts->mext && facts->bext && facts->factSamples);
    EXPECT_EQ(facts->mpeg->headBitrate, 256000u);
    EXPECT_EQ(facts->mpeg->headMode, 2);
    EXPECT_EQ(*facts->factSamples, 417u * 1152);
    EXPECT_TRUE(facts->mext->Homogeneous());
    EXPECT_EQ(facts->mext->frameSize, 768);
    EXPECT_EQ(facts->bext->version, 2);
    EXPECT_EQ(facts->bext->text.description, SomeText().description);
    EXPECT_EQ(facts->bext->text.originationTime, "07:00:00");
    EXPECT_EQ(facts->bext->text.timeReference, (uint64_t{1} << 32) + 5);
    EXPECT_EQ(facts->bext->text.codingHistory, SomeText().codingHistory);
    EXPECT_DOUBLE_EQ(*facts->bext->loudness.integratedLufs, -23.0);
    EXPECT_DOUBLE_EQ(*facts->bext->loudness.maxTruePeakDbtp, -1.5);
    EXPECT_FALSE(facts->bext->loudness.rangeLu);
    EXPECT_TRUE(facts->dataFound);
    EXPECT_EQ(facts->dataOffset, bytes.size() - stream.dataBytes);
    EXPECT_EQ(facts->dataBytes, stream.dataBytes);

    const std::string plain = std::string(folder) + "/plain.mp2";
    std::ofstream(plain, std::ios::binary) << "\xff\xfd not RIFF";
    EXPECT_FALSE(ReadBroadcastWave(plain));
    std::filesystem::remove_all(folder);

    // The same from bytes in memory; a second fmt chunk (here a PCM one, before data) does not
    // replace the first: the facts stay those of the MPEG format.
    const std::optional<BroadcastWaveFacts> inMemory = ReadBroadcastWave(bytes);
    ASSERT_TRUE(inMemory && inMemory->bext);
    EXPECT_EQ(inMemory->bext->text.codingHistory, facts->bext->text.codingHistory);
    std::vector<uint8_t> twoFormats(bytes.begin(), bytes.begin() + static_cast<long>(facts->dataOffset - 8));
    const uint8_t pcm[] = {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x80, 0xBB, 0, 0, 0, 0xEE, 2, 0, 4, 0, 16, 0};
    twoFormats.insert(twoFormats.end(), std::begin(pcm), std::end(pcm));
    twoFormats.insert(twoFormats.end(), bytes.begin() + static_cast<long>(facts->dataOffset - 8), bytes.end());
    const std::optional<BroadcastWaveFacts> first = ReadBroadcastWave(twoFormats);
    ASSERT_TRUE(first && first->mpeg);
    EXPECT_EQ(first->formatTag, 0x0050);
    EXPECT_EQ(first->mpeg->headBitrate, 256000u);
}
} // namespace
} // namespace sovahost
