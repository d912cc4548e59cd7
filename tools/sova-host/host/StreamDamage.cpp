// SPDX-License-Identifier: MIT
#include "host/StreamDamage.h"

#include <algorithm>

#include <fmt/format.h>

namespace sovahost {
namespace {
std::string SamplesInWords(int64_t samples, int32_t sampleRate) {
    if (sampleRate <= 0) return fmt::format("{} samples", samples);
    return fmt::format("{} samples ({:.3f} s)", samples, static_cast<double>(samples) / sampleRate);
}

std::string Listed(const std::vector<double>& seconds) {
    std::string text;
    for (size_t i = 0; i < seconds.size(); ++i) {
        if (i > 0) text += i + 1 == seconds.size() ? " and " : ", ";
        text += fmt::format("{:.3f} s", seconds[i]);
    }
    return text;
}
} // namespace

std::vector<double> StreamDamage::Places() const {
    std::vector<double> places = decoderFailedAt;
    for (const StreamProblem& problem : problems) places.push_back(problem.seconds);
    std::sort(places.begin(), places.end());
    // A decoder failure where the headers show a problem is one place (to the millisecond shown).
    places.erase(std::unique(places.begin(), places.end(), [](double a, double b) { return b - a < 0.0005; }),
                 places.end());
    return places;
}

std::string StreamDamage::InWords(int32_t sampleRate) const {
    std::vector<std::string> parts;
    for (const StreamProblem& problem : problems) parts.push_back(problem.InWords());
    if (!decoderFailedAt.empty()) parts.push_back("the decoder failed at " + Listed(decoderFailedAt));
    if (gaveUp) parts.push_back("the decoder found nothing it could decode after that");
    if (Lost() > 0)
        parts.push_back(fmt::format("{} of the {} that the frame headers promise were not delivered",
                                    SamplesInWords(Lost(), sampleRate), *promised));
    if (Extra() > 0)
        parts.push_back(fmt::format("{} decoded beyond the {} that the frame headers promise",
                                    SamplesInWords(Extra(), sampleRate), *promised));
    if (!promised && !decoderFailedAt.empty()) parts.push_back("how much was lost is unknown (the frame headers could not be read)");
    std::string text = "damaged: ";
    for (size_t i = 0; i < parts.size(); ++i) text += (i ? "; " : "") + parts[i];
    return text;
}

StreamDamage AssessDamage(const std::optional<FrameWalk>& walk, const ReadThroughReport& read, int32_t sampleRate) {
    StreamDamage damage;
    if (walk) {
        damage.problems = walk->problems;
        damage.promised = walk->PromisedSamples();
    }
    for (const int64_t at : read.damagedAt)
        damage.decoderFailedAt.push_back(sampleRate > 0 ? static_cast<double>(at) / sampleRate : 0.0);
    damage.gaveUp = read.gaveUp;
    damage.delivered = read.delivered;
    return damage;
}
} // namespace sovahost
