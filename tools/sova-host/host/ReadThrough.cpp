#include "host/ReadThrough.h"

#include <fmt/format.h>

namespace sovahost {
namespace {
// A damaged stretch costs the decoder one failed resync (1 KiB of input) per answer; this many
// -9s in a row without a frame means the rest of the stream cannot be decoded.
constexpr int kFruitlessRetries = 256;

std::string Seconds(int64_t frames, int32_t sampleRate) {
    return sampleRate > 0 ? fmt::format("{:.3f} s", static_cast<double>(frames) / sampleRate) : fmt::format("frame {}", frames);
}
} // namespace

ReadThroughReport ReadThrough(ReadSession& session, int32_t block, const BlockHandler& onBlock) {
    ReadThroughReport report;
    report.announced = session.Format().length;
    int fruitless = 0;
    while (true) {
        const int32_t result = session.Read(block);
        if (session.LastReadReportedLength()) report.endConfirmed = true;
        if (result == sova::sdk::kResultOK && session.FramesDone() > 0) {
            fruitless = 0;
            report.delivered += session.FramesDone();
            if (onBlock && !onBlock(session)) {
                report.stopped = true;
                return report;
            }
            continue;
        }
        if (report.endConfirmed) return report; // the end, its length told
        if (fruitless == 0) report.damagedAt.push_back(report.delivered);
        if (++fruitless >= kFruitlessRetries) {
            report.gaveUp = true;
            return report;
        }
    }
}

std::string DamageInWords(const ReadThroughReport& report, int32_t sampleRate) {
    std::string places;
    for (size_t i = 0; i < report.damagedAt.size(); ++i) {
        if (i > 0) places += i + 1 == report.damagedAt.size() ? " and " : ", ";
        places += Seconds(report.damagedAt[i], sampleRate);
    }
    std::string text = fmt::format("damaged at {}", places);
    if (report.gaveUp) text += "; the decoder found nothing it could decode after that";
    if (report.announced < 0)
        text += "; how much was lost is unknown (the length was not known at open)";
    else
        text += fmt::format(": {} frames ({}) lost", report.LostFrames(), Seconds(report.LostFrames(), sampleRate));
    return text;
}
} // namespace sovahost
