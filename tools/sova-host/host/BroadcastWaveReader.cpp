// SPDX-License-Identifier: MIT
#include "host/BroadcastWaveReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "host/RiffBytes.h"

namespace sovahost {
namespace {
constexpr uint32_t kLargestChunkRead = 1 << 20; // a bext's coding history beyond this is not read

class Descriptor {
public:
    explicit Descriptor(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    bool Good() const { return fd_ >= 0; }
    // Up to `size` bytes at `offset`; fewer at the end of the file.
    std::vector<uint8_t> Read(uint64_t offset, size_t size) const {
        std::vector<uint8_t> bytes(size);
        size_t got = 0;
        while (got < size) {
            const ssize_t n = ::pread(fd_, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }
private:
    int fd_;
};

std::string FixedText(const uint8_t* at, size_t width) {
    const auto* end = std::find(at, at + width, uint8_t{0});
    return std::string(at, end);
}

std::optional<double> LoudnessValue(uint16_t field) {
    if (field == 0x7FFF) return std::nullopt;
    return static_cast<int16_t>(field) / 100.0;
}

BroadcastExtension ParseBext(const std::vector<uint8_t>& chunk) {
    BroadcastExtension bext;
    const uint8_t* at = chunk.data();
    bext.text.description = FixedText(at, 256);
    bext.text.originator = FixedText(at + 256, 32);
    bext.text.originatorReference = FixedText(at + 288, 32);
    bext.text.originationDate = FixedText(at + 320, 10);
    bext.text.originationTime = FixedText(at + 330, 8);
    bext.text.timeReference = ReadU32(at + 338) | static_cast<uint64_t>(ReadU32(at + 342)) << 32;
    bext.version = ReadU16(at + 346);
    if (bext.version >= 2) {
        std::optional<double>* fields[] = {&bext.loudness.integratedLufs, &bext.loudness.rangeLu,
                                           &bext.loudness.maxTruePeakDbtp, &bext.loudness.maxMomentaryLufs,
                                           &bext.loudness.maxShortTermLufs};
        for (size_t i = 0; i < 5; ++i) *fields[i] = LoudnessValue(ReadU16(at + 412 + 2 * i));
    }
    if (chunk.size() > 602) bext.text.codingHistory = FixedText(at + 602, chunk.size() - 602);
    return bext;
}

// The chunks through `read`, which gives up to `size` bytes at `offset` (fewer at the end).
std::optional<BroadcastWaveFacts> ReadChunks(const std::function<std::vector<uint8_t>(uint64_t offset, size_t size)>& read) {
    const std::vector<uint8_t> head = read(0, 12);
    if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    BroadcastWaveFacts facts;
    bool formatRead = false;
    uint64_t offset = 12;
    for (;;) {
        const std::vector<uint8_t> chunkHead = read(offset, 8);
        if (chunkHead.size() < 8) break;
        const uint32_t size = ReadU32(chunkHead.data() + 4);
        const std::string id(chunkHead.begin(), chunkHead.begin() + 4);
        const uint64_t body = offset + 8;
        if (id == "data") {
            facts.dataFound = true;
            facts.dataOffset = body;
            facts.dataBytes = size;
            break;
        }
        const std::vector<uint8_t> chunk = read(body, std::min(size, kLargestChunkRead));
        if (id == "fmt " && chunk.size() >= 16 && !formatRead) { // a second fmt chunk is not the format
            formatRead = true;
            facts.formatTag = ReadU16(chunk.data());
            if (facts.formatTag == 0x0050 && chunk.size() >= 40) {
                MpegWaveFormat mpeg;
                const uint8_t* at = chunk.data();
                mpeg.channels = ReadU16(at + 2);
                mpeg.rate = ReadU32(at + 4);
                mpeg.averageBytesPerSecond = ReadU32(at + 8);
                mpeg.blockAlign = ReadU16(at + 12);
                mpeg.headLayer = ReadU16(at + 18);
                mpeg.headBitrate = ReadU32(at + 20);
                mpeg.headMode = ReadU16(at + 24);
                mpeg.headModeExt = ReadU16(at + 26);
                mpeg.headEmphasis = ReadU16(at + 28);
                mpeg.headFlags = ReadU16(at + 30);
                facts.mpeg = mpeg;
            }
        } else if (id == "fact" && chunk.size() >= 4) {
            facts.factSamples = ReadU32(chunk.data());
        } else if (id == "mext" && chunk.size() >= 8) {
            facts.mext = MpegExtension{ReadU16(chunk.data()), ReadU16(chunk.data() + 2), ReadU16(chunk.data() + 4),
                                       ReadU16(chunk.data() + 6)};
        } else if (id == "bext" && chunk.size() >= 602) {
            facts.bext = ParseBext(chunk);
        }
        offset = body + size + (size & 1);
    }
    return facts;
}
} // namespace

std::optional<BroadcastWaveFacts> ReadBroadcastWave(const std::string& path) {
    const Descriptor file(path);
    if (!file.Good()) return std::nullopt;
    return ReadChunks([&file](uint64_t offset, size_t size) { return file.Read(offset, size); });
}

std::optional<BroadcastWaveFacts> ReadBroadcastWave(std::span<const uint8_t> bytes) {
    return ReadChunks([bytes](uint64_t offset, size_t size) {
        if (offset >= bytes.size()) return std::vector<uint8_t>();
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
        return std::vector<uint8_t>(from, from + static_cast<std::ptrdiff_t>(std::min<uint64_t>(size, bytes.size() - offset)));
    });
}
} // namespace sovahost
