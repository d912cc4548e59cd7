// SPDX-License-Identifier: MIT
#include "host/BroadcastWave.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include <fmt/format.h>

#include "host/FrameWalk.h"
#include "host/RiffBytes.h"

namespace sovahost {
namespace {
// MPEG1WAVEFORMAT values (mmreg.h; ITU-R BS.1352).
constexpr uint16_t kWaveFormatMpeg = 0x0050;
constexpr uint16_t kAcmMpegLayer2 = 0x0002;
constexpr uint16_t kAcmMpegStereo = 0x0001, kAcmMpegJointStereo = 0x0002, kAcmMpegDualChannel = 0x0004,
                   kAcmMpegSingleChannel = 0x0008;
constexpr uint16_t kAcmMpegPrivateBit = 0x0001, kAcmMpegCopyright = 0x0002, kAcmMpegOriginalHome = 0x0004,
                   kAcmMpegProtectionBit = 0x0008, kAcmMpegIdMpeg1 = 0x0010;
// mext wSoundInformation and wAncillaryDataDef bits (EBU Tech 3285 Supplement 1; ITU-R BS.1352).
constexpr uint16_t kHomogeneous = 0x0001, kPaddingAlwaysOff = 0x0002, kUnpaddedAt22Or44 = 0x0004;
constexpr uint16_t kAncillaryEnergyLeft = 0x0001, kAncillaryEnergyRight = 0x0004;
constexpr uint16_t kLoudnessMissing = 0x7FFF;
constexpr size_t kBextFixedBytes = 602; // every field before CodingHistory (EBU Tech 3285 v2)

uint16_t HeadMode(int mode) {
    switch (mode) {
    case 0: return kAcmMpegStereo;
    case 1: return kAcmMpegJointStereo;
    case 2: return kAcmMpegDualChannel;
    default: return kAcmMpegSingleChannel;
    }
}

// The frames carry CRCs (the header's protection bit is 0): the flag says the stream is protected.
uint16_t HeadFlags(const LayerTwoStream& stream) {
    uint16_t flags = 0;
    if (stream.privateBit) flags |= kAcmMpegPrivateBit;
    if (stream.copyright) flags |= kAcmMpegCopyright;
    if (stream.original) flags |= kAcmMpegOriginalHome;
    if (stream.crc) flags |= kAcmMpegProtectionBit;
    if (stream.mpeg1) flags |= kAcmMpegIdMpeg1;
    return flags;
}

bool Homogeneous(const LayerTwoStream& stream) { return stream.constantBitrate && stream.sameSize && stream.bitrateKbps > 0; }

uint16_t SoundInformation(const LayerTwoStream& stream) {
    uint16_t bits = 0;
    if (Homogeneous(stream)) bits |= kHomogeneous;
    if (!stream.padded) bits |= kPaddingAlwaysOff;
    if (!stream.padded && (stream.rate == 22050 || stream.rate == 44100)) bits |= kUnpaddedAt22Or44;
    return bits;
}

// TwoLAME reserves the last bytes of each frame for the energy levels: 3 in mono, 5 otherwise
// (24 and 40 ancillary bits, as twolame --verbose -E reports).
uint16_t AncillaryBytes(const LayerTwoStream& stream) { return stream.energyLevels ? (stream.channels == 1 ? 3 : 5) : 0; }

uint16_t AncillaryDefinition(const LayerTwoStream& stream) {
    if (!stream.energyLevels) return 0;
    return stream.channels == 1 ? kAncillaryEnergyLeft : kAncillaryEnergyLeft | kAncillaryEnergyRight;
}

// Printable ASCII (CR and LF kept, for the coding history); other bytes become '?'.
std::string AsciiOnly(const std::string& text) {
    std::string out;
    for (char ch : text) {
        const auto byte = static_cast<uint8_t>(ch);
        out.push_back((byte >= 0x20 && byte < 0x7F) || ch == '\r' || ch == '\n' ? ch : '?');
    }
    return out;
}

// ASCII of at most `width` bytes, NUL-padded; longer text is cut.
void AddText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    const std::string ascii = AsciiOnly(text.substr(0, width));
    out.insert(out.end(), ascii.begin(), ascii.end());
    out.insert(out.end(), width - ascii.size(), 0);
}
} // namespace

int16_t LoudnessField(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return static_cast<int16_t>(kLoudnessMissing);
    const double hundredths = std::round(*value * 100.0);
    return static_cast<int16_t>(std::clamp(hundredths, -32768.0, 32766.0)); // 32767 means missing
}

std::string CodingHistoryLine(const LayerTwoStream& stream, const std::string& software) {
    static const char* const modes[] = {"STEREO", "JOINT-STEREO", "DUAL-MONO", "MONO"};
    return fmt::format("A={},F={},B={},M={},T={}\r\n", stream.mpeg1 ? "MPEG1L2" : "MPEG2L2", stream.rate,
                       stream.bitrateKbps, modes[stream.mode & 3], software);
}

namespace {
constexpr uint64_t kLargestRiffBytes = std::numeric_limits<uint32_t>::max();

std::string TooLarge(uint64_t frameBytes) {
    return fmt::format("{} bytes of frames do not fit in a WAV file (4 GiB at most; RF64 is not written): write a raw "
                       ".mp2, or split the source",
                       frameBytes);
}
} // namespace

std::string BroadcastWaveSizeProblem(int64_t samples, int32_t rate, int32_t kbps) {
    if (samples <= 0 || rate <= 0 || kbps <= 0) return {};
    const uint64_t frames = (static_cast<uint64_t>(samples) + 1151) / 1152 + 1; // and the flushed one
    const uint64_t bytes = frames * (144000ull * static_cast<uint64_t>(kbps) / static_cast<uint64_t>(rate) + 1);
    return bytes + 64 * 1024 > kLargestRiffBytes ? TooLarge(bytes) : std::string(); // 64 KiB for the chunks
}

std::vector<uint8_t> BroadcastWaveHeader(const LayerTwoStream& stream, const BroadcastText& text,
                                         const StoredLoudness& loudness) {
    const std::string history = AsciiOnly(text.codingHistory);
    const uint64_t bextBytes = kBextFixedBytes + history.size();
    const uint64_t headerBytes = 12 + (8 + 40) + (8 + 4) + (8 + 12) + (8 + bextBytes + (bextBytes & 1)) + 8;
    const uint64_t riffBytes = headerBytes - 8 + stream.dataBytes + (stream.dataBytes & 1);
    if (riffBytes > kLargestRiffBytes) throw std::runtime_error(TooLarge(stream.dataBytes));
    RiffBytes out;
    out.Tag("RIFF");
    out.U32(static_cast<uint32_t>(riffBytes));
    out.Tag("WAVE");

    out.Tag("fmt ");
    out.U32(40);
    out.U16(kWaveFormatMpeg);
    out.U16(static_cast<uint16_t>(stream.channels));
    out.U32(static_cast<uint32_t>(stream.rate));
    out.U32(static_cast<uint32_t>(stream.bitrateKbps) * 125); // nAvgBytesPerSec
    out.U16(Homogeneous(stream) ? static_cast<uint16_t>(stream.frameBytes) : 1); // nBlockAlign
    out.U16(0);  // wBitsPerSample: not used
    out.U16(22); // cbSize
    out.U16(kAcmMpegLayer2);
    out.U32(static_cast<uint32_t>(stream.bitrateKbps) * 1000); // dwHeadBitrate, bit/s
    out.U16(HeadMode(stream.mode));
    out.U16(stream.mode == 1 ? static_cast<uint16_t>(stream.modeExtensions & 0x0F) : 0);
    out.U16(static_cast<uint16_t>(stream.emphasis + 1)); // 1 none, 2 50/15 us, 3 reserved, 4 CCITT J.17
    out.U16(HeadFlags(stream));
    out.U32(0); // dwPTSLow
    out.U32(0); // dwPTSHigh

    out.Tag("fact");
    out.U32(4);
    out.U32(static_cast<uint32_t>(std::min<int64_t>(stream.samples, std::numeric_limits<uint32_t>::max())));

    out.Tag("mext");
    out.U32(12);
    out.U16(SoundInformation(stream));
    out.U16(stream.constantBitrate ? static_cast<uint16_t>(stream.frameBytes) : 0);
    out.U16(AncillaryBytes(stream));
    out.U16(AncillaryDefinition(stream));
    out.U32(0); // reserved

    out.Tag("bext");
    out.U32(static_cast<uint32_t>(bextBytes));
    AddText(out.bytes, text.description, 256);
    AddText(out.bytes, text.originator, 32);
    AddText(out.bytes, text.originatorReference, 32);
    AddText(out.bytes, text.originationDate, 10);
    AddText(out.bytes, text.originationTime, 8);
    out.U32(static_cast<uint32_t>(text.timeReference & 0xFFFFFFFFu));
    out.U32(static_cast<uint32_t>(text.timeReference >> 32));
    out.U16(2);                                  // Version
    out.bytes.insert(out.bytes.end(), 64, 0);    // UMID: none
    for (const auto* value : {&loudness.integratedLufs, &loudness.rangeLu, &loudness.maxTruePeakDbtp,
                              &loudness.maxMomentaryLufs, &loudness.maxShortTermLufs})
        out.U16(static_cast<uint16_t>(LoudnessField(*value)));
    out.bytes.insert(out.bytes.end(), 180, 0); // reserved
    out.bytes.insert(out.bytes.end(), history.begin(), history.end());
    if (bextBytes & 1) out.bytes.push_back(0);

    out.Tag("data");
    out.U32(static_cast<uint32_t>(stream.dataBytes));
    return out.bytes;
}

LayerTwoStream DescribeLayerTwoFrames(const std::string& framesPath) {
    LayerTwoStream stream;
    bool first = true;
    size_t firstLength = 0;
    const auto visit = [&](const FrameHeader& header, uint64_t, std::span<const uint8_t> frame) {
        if (first) {
            first = false;
            firstLength = header.length;
            stream.frameBytes = static_cast<uint32_t>(header.length - (header.padding ? 1 : 0));
            stream.bitrateKbps = header.bitrate;
            stream.privateBit = frame.size() > 2 && (frame[2] & 0x01);
        }
        if (header.bitrate != stream.bitrateKbps) stream.constantBitrate = false;
        if (header.length != firstLength) stream.sameSize = false;
        if (header.mode == 1 && frame.size() > 3) stream.modeExtensions |= 1u << ((frame[3] >> 4) & 3);
    };
    const std::optional<FrameWalk> walk = WalkFrames(framesPath, visit);
    if (!walk) throw std::runtime_error(fmt::format("cannot read the encoded frames in '{}'", framesPath));
    if (!walk->Found() || walk->freeFormat || walk->first->layer != 2)
        throw std::runtime_error("the encoded file holds no Layer II frames to put in a WAV file");
    if (!walk->problems.empty())
        throw std::runtime_error("the encoded frames are not one clean stream: " + walk->problems.front().InWords());
    const FrameHeader& head = *walk->first;
    stream.mpeg1 = head.versionBits == 3;
    stream.rate = head.sampleRate;
    stream.channels = head.Channels();
    stream.mode = head.mode;
    stream.emphasis = head.emphasis;
    stream.copyright = head.copyright;
    stream.original = head.original;
    stream.crc = walk->crc;
    stream.padded = walk->padded;
    stream.frames = walk->frames;
    stream.samples = walk->samples;
    stream.dataBytes = walk->audioBytes;
    if (walk->audioStart != 0 || walk->audioBytes != walk->fileBytes)
        throw std::runtime_error("the encoded file holds more than Layer II frames");
    return stream;
}

void WriteBroadcastWave(const std::string& framesPath, const LayerTwoStream& stream, const BroadcastText& text,
                        const StoredLoudness& loudness, const std::string& wavePath) {
    const std::vector<uint8_t> header = BroadcastWaveHeader(stream, text, loudness);
    const auto fail = [&wavePath](const char* what) {
        return std::runtime_error(fmt::format("cannot write '{}': {} ({})", wavePath, what, std::strerror(errno)));
    };
    const int in = ::open(framesPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throw std::runtime_error(fmt::format("cannot read '{}': {}", framesPath, std::strerror(errno)));
    const int out = ::open(wavePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        ::close(in);
        throw fail("cannot open it");
    }
    const auto writeAll = [out](const uint8_t* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(out, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    };
    bool good = writeAll(header.data(), header.size());
    std::vector<uint8_t> buffer(1 << 20);
    uint64_t copied = 0;
    while (good && copied < stream.dataBytes) {
        const ssize_t n = ::read(in, buffer.data(), std::min<uint64_t>(buffer.size(), stream.dataBytes - copied));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO; // the frames file shrank
            good = false;
            break;
        }
        good = writeAll(buffer.data(), static_cast<size_t>(n));
        copied += static_cast<uint64_t>(n);
    }
    const uint8_t pad = 0;
    if (good && (stream.dataBytes & 1)) good = writeAll(&pad, 1);
    const int savedErrno = errno;
    ::close(in);
    const bool closed = ::close(out) == 0;
    errno = good ? errno : savedErrno;
    if (!good) throw fail("writing failed");
    if (!closed) throw fail("closing failed");
}
} // namespace sovahost
