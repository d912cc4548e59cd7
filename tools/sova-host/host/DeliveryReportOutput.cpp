// SPDX-License-Identifier: MIT
#include "host/DeliveryReportOutput.h"

#include <cmath>
#include <set>

#include <fmt/format.h>

#include "host/EncodePlan.h"
#include "host/LoudnessScan.h"
#include "host/StreamProblemJson.h"

namespace sovahost {
namespace {
const char* EmphasisName(int emphasis) {
    switch (emphasis) {
    case 0: return "none";
    case 1: return "50/15 us";
    case 3: return "CCITT J.17";
    default: return "reserved";
    }
}

std::string ModeName(int mode) { return ChannelModeName(mode, mode == 3); }

// "joint stereo", or "stereo and joint stereo" when frames use both.
std::string ModesInWords(const std::set<int>& modes) {
    std::string text;
    for (const int mode : modes) text += (text.empty() ? "" : " and ") + ModeName(mode);
    return text;
}

std::string BitrateInWords(const FrameWalk& walk) {
    if (!walk.VariableBitrate()) return fmt::format("{} kbit/s CBR", walk.minBitrate);
    return fmt::format("VBR, {} to {} kbit/s ({:.1f} on average)", walk.minBitrate, walk.maxBitrate, walk.AverageBitrate());
}

std::string CrcInWords(const FrameAudit& audit, int64_t frames) {
    if (audit.crcFrames == 0) return "none (the frames carry no CRC)";
    std::string text = audit.crcFrames == frames ? "in every frame" : fmt::format("in {} of {} frames", audit.crcFrames, frames);
    if (audit.crcChecked < audit.crcFrames) text += fmt::format(", {} checked", audit.crcChecked);
    if (audit.crcMismatches.empty()) return text + (audit.crcChecked ? ", all match" : "");
    return text + fmt::format(", {} do not match", audit.crcMismatches.size());
}

std::string TagsInWords(const FrameWalk& walk) {
    if (walk.tags.empty()) return "none";
    std::string text;
    for (const EndTag& tag : walk.tags)
        text += fmt::format("{}{} at byte {} ({} bytes)", text.empty() ? "" : ", ", tag.name, tag.offset, tag.bytes);
    return text;
}

std::string ChangesInWords(const FrameAudit& audit) {
    if (audit.changes.empty()) return "the same in every frame";
    std::string text;
    for (const HeaderChange& change : audit.changes)
        text += fmt::format("{}{} changes at frame {}", text.empty() ? "" : "; ", change.field, change.frame);
    return text;
}

// "-23.1 LUFS (target -23.0 ± 1.0), true peak -1.5 dBTP (ceiling -1.0)"
std::string LoudnessAgainstTarget(const LoudnessFacts& loudness, const std::optional<LoudnessRequirement>& required) {
    std::string text = LevelText(loudness.integratedLufs, "LUFS");
    if (required) text += fmt::format(" (target {:.1f} ± {:.1f})", required->targetLufs, required->toleranceLu);
    text += ", true peak " + LevelText(std::isfinite(loudness.truePeakDbtp) ? std::optional<double>(loudness.truePeakDbtp)
                                                                            : std::nullopt, "dBTP");
    if (required && required->truePeakCeilingDbtp) text += fmt::format(" (ceiling {:.1f})", *required->truePeakCeilingDbtp);
    return text;
}

void AddNullable(JsonObject& json, const std::string& key, const std::optional<double>& value) {
    if (value) json.Add(key, *value);
    else json.AddNull(key);
}
} // namespace

std::string DeliveryReportInWords(const DeliveryReport& report) {
    std::string text = fmt::format("{}: {}\n", report.path,
                                   report.Fit() ? "fit to deliver"
                                                : fmt::format("NOT fit to deliver ({} failure{})", report.failures.size(),
                                                              report.failures.size() == 1 ? "" : "s"));
    const auto line = [&text](const char* label, const std::string& value) { text += fmt::format("  {:<10} {}\n", label, value); };
    if (report.Walked()) {
        const FrameWalk& walk = *report.frames.walk;
        const FrameHeader& first = *walk.first;
        line("stream:", fmt::format("{}, {}, {}", first.InWords(), ModesInWords(report.frames.modes), BitrateInWords(walk)));
        line("frames:", fmt::format("{} ({:.3f} s, {} bytes of audio)", walk.frames, walk.seconds, walk.audioBytes));
        line("headers:", ChangesInWords(report.frames));
        line("CRC:", CrcInWords(report.frames, walk.frames));
        line("padding:", report.frames.paddedFrames ? fmt::format("{} of {} frames", report.frames.paddedFrames, walk.frames) : "none");
        line("flags:", fmt::format("emphasis {}, copyright {}, original {}", EmphasisName(first.emphasis),
                                   first.copyright ? "on" : "off", first.original ? "on" : "off"));
        line("tags:", TagsInWords(walk));
    }
    if (report.decoded) {
        const DecodedFacts& decoded = *report.decoded;
        line("decoded:", fmt::format("{} samples per channel ({:.3f} s)", decoded.samples,
                                     decoded.sampleRate > 0 ? static_cast<double>(decoded.samples) / decoded.sampleRate : 0.0));
        line("silence:", decoded.allSilent ? fmt::format("throughout (below {:.0f} dBFS)", decoded.silenceThresholdDbfs)
                                           : fmt::format("{:.3f} s at the head, {:.3f} s at the tail (below {:.0f} dBFS)",
                                                         decoded.headSilence, decoded.tailSilence,
                                                         decoded.silenceThresholdDbfs));
        if (decoded.loudness) line("loudness:", LoudnessAgainstTarget(*decoded.loudness, report.loudnessRequired));
    }
    for (const DeliveryFailure& failure : report.failures) line("FAILED:", failure.message);
    return text;
}

std::string DeliveryReportJson(const DeliveryReport& report) {
    JsonObject json;
    json.Add("path", report.path);
    json.Add("fit", report.Fit());
    if (report.Walked()) {
        const FrameAudit& audit = report.frames;
        const FrameWalk& walk = *audit.walk;
        const FrameHeader& first = *walk.first;
        json.Add("mpeg_version", first.Version());
        json.Add("layer", first.layer);
        json.Add("sample_rate", first.sampleRate);
        json.Add("channels", first.Channels());
        json.Add("mode", ModeName(first.mode));
        json.Add("modes", ModesInWords(audit.modes));
        json.Add("bitrate_kbps", first.bitrate);
        json.Add("bitrate_mode", walk.VariableBitrate() ? "VBR" : "CBR");
        json.Add("min_bitrate_kbps", walk.minBitrate);
        json.Add("max_bitrate_kbps", walk.maxBitrate);
        json.Add("frames", walk.frames);
        json.Add("duration_s", walk.seconds);
        json.Add("emphasis", EmphasisName(first.emphasis));
        json.Add("copyright", first.copyright);
        json.Add("original", first.original);
        json.Add("headers_constant", audit.changes.empty());
        std::vector<JsonObject> changes;
        for (const HeaderChange& change : audit.changes) {
            JsonObject entry;
            entry.Add("field", change.field);
            entry.Add("frame", change.frame);
            entry.Add("offset", static_cast<int64_t>(change.offset));
            entry.Add("time_s", change.seconds);
            entry.Add("from", change.from);
            entry.Add("to", change.to);
            changes.push_back(entry);
        }
        json.Add("header_changes", changes);
        json.Add("crc_frames", audit.crcFrames);
        json.Add("crc_checked", audit.crcChecked);
        json.Add("crc_mismatches", static_cast<int64_t>(audit.crcMismatches.size()));
        json.Add("padded_frames", audit.paddedFrames);
        std::vector<JsonObject> tags;
        for (const EndTag& tag : walk.tags) {
            JsonObject entry;
            entry.Add("name", tag.name);
            entry.Add("offset", static_cast<int64_t>(tag.offset));
            entry.Add("bytes", static_cast<int64_t>(tag.bytes));
            tags.push_back(entry);
        }
        json.Add("tags", tags);
        json.Add("problems", ProblemsJson(walk.problems));
    }
    if (report.decoded) {
        const DecodedFacts& decoded = *report.decoded;
        json.Add("decoded_samples", decoded.samples);
        json.Add("decoder_failed_at_s", decoded.damage.decoderFailedAt);
        json.Add("silence_threshold_dbfs", decoded.silenceThresholdDbfs);
        json.Add("head_silence_s", decoded.headSilence);
        json.Add("tail_silence_s", decoded.tailSilence);
        json.Add("all_silent", decoded.allSilent);
        if (decoded.loudness) AddLoudness(json, *decoded.loudness);
    }
    if (report.loudnessRequired) {
        json.Add("loudness_target_lufs", report.loudnessRequired->targetLufs);
        json.Add("loudness_tolerance_lu", report.loudnessRequired->toleranceLu);
        AddNullable(json, "true_peak_ceiling_dbtp", report.loudnessRequired->truePeakCeilingDbtp);
    }
    std::vector<JsonObject> failures;
    for (const DeliveryFailure& failure : report.failures) {
        JsonObject entry;
        entry.Add("check", failure.check);
        entry.Add("message", failure.message);
        if (failure.frame) entry.Add("frame", *failure.frame);
        if (failure.offset) entry.Add("offset", static_cast<int64_t>(*failure.offset));
        if (failure.seconds) entry.Add("time_s", *failure.seconds);
        failures.push_back(entry);
    }
    json.Add("failures", failures);
    return json.Text();
}
} // namespace sovahost
