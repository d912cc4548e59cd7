// SPDX-License-Identifier: MIT
#include "host/FrameWalk.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include <fmt/format.h>

namespace sovahost {
namespace {
// The bytes of a file or of memory, asked for by position.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // The bytes [offset, offset + n), n at most kMostAsked and offset + n at most Size(); valid
    // until the next call.
    virtual const uint8_t* At(uint64_t offset, size_t n) = 0;
    static constexpr size_t kMostAsked = 64 * 1024;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    const uint8_t* At(uint64_t offset, size_t) override { return bytes_.data() + offset; }
private:
    std::span<const uint8_t> bytes_;
};

// A file read through a window of 1 MiB that follows the walk.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t Size() const override { return size_; }
    const uint8_t* At(uint64_t offset, size_t n) override {
        if (offset < start_ || offset + n > start_ + window_.size()) Fill(offset);
        return window_.data() + (offset - start_);
    }
    bool Failed() const { return failed_; }
private:
    void Fill(uint64_t offset) {
        start_ = offset;
        window_.assign(static_cast<size_t>(std::min<uint64_t>(kWindow, size_ - offset)), 0);
        size_t got = 0;
        while (got < window_.size()) {
            const ssize_t n = ::pread(fd_, window_.data() + got, window_.size() - got, static_cast<off_t>(offset + got));
            if (n <= 0) { // read error or a file that shrank: what is missing reads as zeros
                failed_ = true;
                break;
            }
            got += static_cast<size_t>(n);
        }
    }
    static constexpr size_t kWindow = 1 << 20;
    int fd_;
    uint64_t size_;
    uint64_t start_ = 0;
    std::vector<uint8_t> window_;
    bool failed_ = false;
};

bool BytesAre(const uint8_t* at, const char* text) { return std::memcmp(at, text, std::strlen(text)) == 0; }
uint32_t BigEndian32(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}
uint32_t LittleEndian32(const uint8_t* at) {
    return (uint32_t{at[3]} << 24) | (uint32_t{at[2]} << 16) | (uint32_t{at[1]} << 8) | at[0];
}

// Tags at the end, outermost first, each found just before the previous one.
void FindEndTags(ByteSource& source, FrameWalk& walk) {
    uint64_t end = source.Size();
    while (end > walk.audioStart) {
        const uint64_t room = end - walk.audioStart;
        if (room >= 128 && BytesAre(source.At(end - 128, 3), "TAG")) {
            walk.tags.push_back({"ID3v1", end - 128, 128});
            end -= 128;
            continue;
        }
        if (room >= 32 && BytesAre(source.At(end - 32, 8), "APETAGEX")) {
            const uint8_t* footer = source.At(end - 32, 32);
            const uint64_t bytes = uint64_t{LittleEndian32(footer + 12)} + ((footer[23] & 0x80) ? 32 : 0);
            if (bytes >= 32 && bytes <= room) {
                walk.tags.push_back({"APEv2", end - bytes, bytes});
                end -= bytes;
                continue;
            }
        }
        if (room >= 15 && BytesAre(source.At(end - 9, 9), "LYRICS200")) {
            const uint8_t* digits = source.At(end - 15, 6);
            uint64_t size = 0;
            bool number = true;
            for (int i = 0; i < 6; ++i) {
                number = number && digits[i] >= '0' && digits[i] <= '9';
                size = size * 10 + static_cast<uint64_t>(digits[i] - '0');
            }
            if (number && size + 15 <= room) {
                walk.tags.push_back({"Lyrics3v2", end - 15 - size, size + 15});
                end -= size + 15;
                continue;
            }
        }
        break;
    }
    walk.audioEnd = end;
}

// A Xing or Info header in a layer III frame (side information first), with the LAME tag's
// encoder delay and padding after it.
std::optional<InfoFrame> InfoIn(const FrameHeader& header, std::span<const uint8_t> frame) {
    if (header.layer != 3) return std::nullopt;
    const bool mono = header.Channels() == 1;
    const size_t at = kFrameHeaderBytes + (header.versionBits == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (at + 8 > frame.size() || !(BytesAre(&frame[at], "Xing") || BytesAre(&frame[at], "Info"))) return std::nullopt;
    InfoFrame info;
    info.name = BytesAre(&frame[at], "Xing") ? "Xing" : "Info";
    const uint32_t flags = BigEndian32(&frame[at + 4]);
    size_t next = at + 8;
    if ((flags & 1) && next + 4 <= frame.size()) info.frames = BigEndian32(&frame[next]);
    next += ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
    if (next + 24 <= frame.size()) { // the LAME tag: 9 bytes of encoder name, ..., 12 + 12 bits at 21
        const uint8_t* gaps = &frame[next + 21];
        info.encoderDelay = (gaps[0] << 4) | (gaps[1] >> 4);
        info.encoderPadding = ((gaps[1] & 0x0F) << 8) | gaps[2];
        info.gapless = true;
    }
    return info;
}

class Walker {
public:
    Walker(ByteSource& source, const FrameVisitor& visit) : source_(source), visit_(visit) {}

    FrameWalk Walk() {
        walk_.fileBytes = source_.Size();
        if (!FindWaveData()) {
            SkipStartTags();
            FindEndTags(source_, walk_);
        }
        uint64_t at = walk_.audioStart;
        std::optional<FrameHeader> locked; // the stream's kind, once two frames agreed on it
        while (at < walk_.audioEnd) {
            std::optional<FrameHeader> header = HeaderAt(at);
            if (header && header->length == 0) { // free format: no length to walk by
                if (!walk_.Found()) {
                    walk_.freeFormat = true;
                    walk_.first = header;
                    return walk_;
                }
                header.reset();
            }
            if (header && !locked && at == walk_.audioStart && at + header->length <= walk_.audioEnd) {
                locked = header; // a header right where the audio begins needs no other to confirm it
                continue;
            }
            if (header && locked && header->SameStream(*locked)) {
                if (at + header->length > walk_.audioEnd) {
                    Truncated(at, *header);
                    break;
                }
                Frame(at, *header);
                at += header->length;
                continue;
            }
            const uint64_t found = NextConfirmedFrame(at, locked);
            if (found > at) Problem(StreamProblem::Kind::Junk, at, found - at);
            if (found >= walk_.audioEnd) break;
            const FrameHeader next = *HeaderAt(found);
            if (locked && !next.SameStream(*locked)) {
                StreamProblem& change = Problem(StreamProblem::Kind::FormatChange, found, 0);
                change.detail = fmt::format("from {} to {}", locked->InWords(), next.InWords());
            }
            locked = next;
            at = found;
        }
        if (walk_.info && walk_.info->frames && *walk_.info->frames != walk_.WalkedFrames()) {
            StreamProblem& count = Problem(StreamProblem::Kind::FrameCount, walk_.audioEnd, 0);
            count.expected = static_cast<uint64_t>(*walk_.info->frames);
            count.found = static_cast<uint64_t>(walk_.WalkedFrames());
        }
        return walk_;
    }

private:
    // A RIFF/WAVE file (a broadcast WAV file of MPEG audio): the frames are its data chunk's bytes.
    bool FindWaveData() {
        const uint64_t size = source_.Size();
        if (size < 12 || !BytesAre(source_.At(0, 4), "RIFF") || !BytesAre(source_.At(8, 4), "WAVE")) return false;
        walk_.waveData = true;
        walk_.audioStart = walk_.audioEnd = size; // no data chunk: no frames
        for (uint64_t at = 12; at + 8 <= size;) {
            const uint8_t* chunk = source_.At(at, 8);
            const uint64_t bytes = LittleEndian32(chunk + 4);
            if (BytesAre(chunk, "data")) {
                walk_.audioStart = at + 8;
                walk_.audioEnd = std::min(at + 8 + bytes, size);
                break;
            }
            at += 8 + bytes + (bytes & 1);
        }
        return true;
    }

    void SkipStartTags() {
        uint64_t at = 0;
        while (at + 10 <= source_.Size()) {
            const uint64_t bytes = Id3v2TagSize(source_.At(at, 10), 10);
            if (bytes == 0 || at + bytes > source_.Size()) break;
            walk_.tags.push_back({"ID3v2", at, bytes});
            at += bytes;
        }
        walk_.audioStart = at;
    }

    std::optional<FrameHeader> HeaderAt(uint64_t at) {
        if (at + kFrameHeaderBytes > walk_.audioEnd) return std::nullopt;
        return ParseFrameHeader(source_.At(at, kFrameHeaderBytes));
    }

    // The first position from `at` where a frame begins that the next one confirms (same kind
    // of stream right after it), or that ends the audio exactly, or that is a frame of the locked
    // stream cut by the end; audioEnd when there is none.
    uint64_t NextConfirmedFrame(uint64_t at, const std::optional<FrameHeader>& locked) {
        for (; at + kFrameHeaderBytes <= walk_.audioEnd; ++at) {
            const std::optional<FrameHeader> candidate = HeaderAt(at);
            if (!candidate || candidate->length == 0) continue;
            const uint64_t end = at + candidate->length;
            if (end == walk_.audioEnd) return at;
            if (end > walk_.audioEnd) {
                if (locked && candidate->SameStream(*locked)) return at;
                continue;
            }
            const std::optional<FrameHeader> next = HeaderAt(end);
            if (next && next->length > 0 && next->SameStream(*candidate)) return at;
        }
        return walk_.audioEnd;
    }

    void Frame(uint64_t at, const FrameHeader& header) {
        const std::span<const uint8_t> bytes(source_.At(at, header.length), header.length);
        if (!walk_.Found() && !checkedInfo_) {
            checkedInfo_ = true;
            if ((walk_.info = InfoIn(header, bytes))) return; // no audio in it
        }
        if (!walk_.Found()) {
            walk_.first = header;
            walk_.minBitrate = walk_.maxBitrate = header.bitrate;
        }
        ++walk_.frames;
        walk_.samples += header.samples;
        walk_.seconds += static_cast<double>(header.samples) / header.sampleRate;
        walk_.audioBytes += header.length;
        walk_.minBitrate = std::min(walk_.minBitrate, header.bitrate);
        walk_.maxBitrate = std::max(walk_.maxBitrate, header.bitrate);
        walk_.padded |= header.padding;
        walk_.crc |= header.crc;
        if (visit_) visit_(header, at, bytes);
    }

    void Truncated(uint64_t at, const FrameHeader& header) {
        StreamProblem& cut = Problem(StreamProblem::Kind::Truncated, at, walk_.audioEnd - at);
        cut.expected = header.length;
        walk_.truncatedSamples = header.samples;
    }

    StreamProblem& Problem(StreamProblem::Kind kind, uint64_t at, uint64_t bytes) {
        StreamProblem problem;
        problem.kind = kind;
        problem.offset = at;
        problem.bytes = bytes;
        problem.samplesBefore = walk_.samples;
        problem.seconds = walk_.seconds;
        walk_.problems.push_back(problem);
        return walk_.problems.back();
    }

    ByteSource& source_;
    const FrameVisitor& visit_;
    FrameWalk walk_;
    bool checkedInfo_ = false;
};

// Bytes asked for at once stay below ByteSource::kMostAsked: the largest frame is 2881 bytes
// (layer II at 384 kbit/s and 32000 Hz, padded) and an ID3v2 header 10.
static_assert(ByteSource::kMostAsked > 2881);
} // namespace

const char* StreamProblem::KindName() const {
    switch (kind) {
    case Kind::Junk: return "junk";
    case Kind::Truncated: return "truncated";
    case Kind::FormatChange: return "format change";
    case Kind::FrameCount: return "frame count";
    }
    return "";
}

std::string StreamProblem::InWords() const {
    const std::string where = fmt::format("at byte {} ({:.3f} s)", offset, seconds);
    switch (kind) {
    case Kind::Junk: return fmt::format("{} bytes of junk {}", bytes, where);
    case Kind::Truncated: return fmt::format("last frame truncated {}: {} of its {} bytes", where, bytes, expected);
    case Kind::FormatChange: return fmt::format("stream changes {} {}", where, detail);
    case Kind::FrameCount:
        return fmt::format("stream ends {} after {} frames; its Info header announces {}", where, found, expected);
    }
    return "";
}

double FrameWalk::AverageBitrate() const { return seconds > 0 ? static_cast<double>(audioBytes) * 8 / seconds / 1000 : 0; }

int64_t FrameWalk::PromisedSamples() const {
    if (!first) return 0;
    int64_t promised = samples + truncatedSamples;
    if (info && info->frames && *info->frames > WalkedFrames()) promised += (*info->frames - WalkedFrames()) * first->samples;
    if (info && info->gapless) promised -= info->encoderDelay + info->encoderPadding;
    return std::max<int64_t>(promised, 0);
}

std::optional<FrameWalk> WalkFrames(const std::string& path, const FrameVisitor& visit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    std::optional<FrameWalk> walk;
    if (size >= 0) {
        FileSource source(fd, static_cast<uint64_t>(size));
        walk = Walker(source, visit).Walk();
        if (source.Failed()) walk.reset();
    }
    ::close(fd);
    return walk;
}

FrameWalk WalkFrames(std::span<const uint8_t> bytes, const FrameVisitor& visit) {
    MemorySource source(bytes);
    return Walker(source, visit).Walk();
}
} // namespace sovahost
