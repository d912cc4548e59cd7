// SPDX-License-Identifier: MIT
#include "host/FrameAudit.h"

#include <fmt/format.h>

#include "host/LayerTwoCrc.h"

namespace sovahost {
namespace {
std::string OnOff(bool value) { return value ? "on" : "off"; }

const char* EmphasisWords(int emphasis) {
    switch (emphasis) {
    case 0: return "none";
    case 1: return "50/15 us";
    case 3: return "CCITT J.17";
    default: return "reserved";
    }
}

const char* ModeWords(int mode) {
    static const char* const kModes[] = {"stereo", "joint stereo", "dual channel", "mono"};
    return kModes[mode & 3];
}

// Checks each frame the walk visits; lives for one walk.
class FrameChecker {
public:
    explicit FrameChecker(FrameAudit& audit) : audit_(audit) {}

    void operator()(const FrameHeader& header, uint64_t offset, std::span<const uint8_t> frame) {
        ++frames_;
        if (!first_) first_ = header;
        Compare(header, offset);
        if (header.padding) ++audit_.paddedFrames;
        audit_.modes.insert(header.mode);
        if (header.mode == 1) audit_.modeExtensions.insert((frame[3] >> 4) & 3);
        if (header.crc) {
            ++audit_.crcFrames;
            if (const std::optional<layer2::FrameCrc> crc = layer2::CheckFrameCrc(header, frame)) {
                ++audit_.crcChecked;
                if (!crc->Matches())
                    audit_.crcMismatches.push_back({frames_, offset, seconds_, crc->stored, crc->computed, crc->complete});
            }
        }
        seconds_ += static_cast<double>(header.samples) / header.sampleRate;
    }

private:
    void Compare(const FrameHeader& header, uint64_t offset) {
        const FrameHeader& first = *first_;
        Field("bitrate", first.bitrate != header.bitrate, offset, fmt::format("{} kbit/s", first.bitrate),
              fmt::format("{} kbit/s", header.bitrate));
        // Stereo and joint stereo alternate frame by frame in what encoders write (twolame does);
        // two independent channels against one programme's two do not.
        Field("mode", (first.mode == 2) != (header.mode == 2), offset, ModeWords(first.mode), ModeWords(header.mode));
        Field("CRC", first.crc != header.crc, offset, OnOff(first.crc), OnOff(header.crc));
        Field("emphasis", first.emphasis != header.emphasis, offset, EmphasisWords(first.emphasis),
              EmphasisWords(header.emphasis));
        Field("copyright", first.copyright != header.copyright, offset, OnOff(first.copyright), OnOff(header.copyright));
        Field("original", first.original != header.original, offset, OnOff(first.original), OnOff(header.original));
    }

    void Field(const char* field, bool changed, uint64_t offset, const std::string& from, const std::string& to) {
        if (!changed || reported_.contains(field)) return;
        reported_.insert(field);
        audit_.changes.push_back({field, frames_, offset, seconds_, from, to});
    }

    FrameAudit& audit_;
    std::optional<FrameHeader> first_;
    int64_t frames_ = 0;
    double seconds_ = 0;
    std::set<std::string> reported_;
};
} // namespace

FrameAudit AuditFrames(const std::string& path) {
    FrameAudit audit;
    FrameChecker checker(audit);
    audit.walk = WalkFrames(path, std::ref(checker));
    return audit;
}

FrameAudit AuditFrames(std::span<const uint8_t> bytes) {
    FrameAudit audit;
    FrameChecker checker(audit);
    audit.walk = WalkFrames(bytes, std::ref(checker));
    return audit;
}
} // namespace sovahost
