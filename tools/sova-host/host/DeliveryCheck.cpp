// SPDX-License-Identifier: MIT
#include "host/DeliveryCheck.h"

#include <cmath>

#include <fmt/format.h>

#include "host/FileFacts.h"
#include "host/InputProblem.h"
#include "host/ReadThrough.h"
#include "host/SilenceSpan.h"
#include "host/Utf8.h"

namespace sovahost {
namespace {
// Failures of one kind listed one by one before the rest are counted in one line.
constexpr size_t kMostListed = 100;

std::string ProblemCheck(const StreamProblem& problem) {
    switch (problem.kind) {
    case StreamProblem::Kind::Junk: return "junk";
    case StreamProblem::Kind::Truncated: return "truncated";
    case StreamProblem::Kind::FormatChange: return "format-change";
    case StreamProblem::Kind::FrameCount: return "frame-count";
    }
    return "stream";
}

void JudgeFrames(DeliveryReport& report) {
    const FrameAudit& audit = report.frames;
    if (!audit.walk) {
        report.Fail("unreadable", "the file could not be read to its end");
        return;
    }
    const FrameWalk& walk = *audit.walk;
    if (!walk.Found()) {
        report.Fail("no-audio", "no MPEG audio frames found");
        return;
    }
    if (walk.freeFormat) {
        report.Fail("free-format", "a free-format stream: its frames have no length to check them by");
        return;
    }
    if (walk.first->layer != 2)
        report.Fail("layer", fmt::format("{}: not MPEG audio Layer II", walk.first->InWords()));
    for (const StreamProblem& problem : walk.problems) {
        DeliveryFailure& failure = report.Fail(ProblemCheck(problem), problem.InWords());
        failure.offset = problem.offset;
        failure.seconds = problem.seconds;
    }
    for (size_t i = 0; i < audit.crcMismatches.size() && i < kMostListed; ++i) {
        const CrcMismatch& bad = audit.crcMismatches[i];
        DeliveryFailure& failure = report.Fail(
            "crc", bad.complete ? fmt::format("CRC mismatch in frame {} at byte {} ({:.3f} s): stored {:04X}, computed {:04X}",
                                              bad.frame, bad.offset, bad.seconds, bad.stored, bad.computed)
                                : fmt::format("frame {} at byte {} ({:.3f} s) is too short for its side information",
                                              bad.frame, bad.offset, bad.seconds));
        failure.offset = bad.offset;
        failure.frame = bad.frame;
        failure.seconds = bad.seconds;
    }
    if (audit.crcMismatches.size() > kMostListed)
        report.Fail("crc", fmt::format("and {} more frames whose CRC does not match",
                                       audit.crcMismatches.size() - kMostListed));
    for (const HeaderChange& change : audit.changes) {
        const bool vbr = change.field == "bitrate";
        DeliveryFailure& failure = report.Fail(
            vbr ? "vbr" : "header-change",
            fmt::format("the {} changes at frame {} (byte {}, {:.3f} s) from {} to {}{}", change.field, change.frame,
                        change.offset, change.seconds, change.from, change.to,
                        vbr ? fmt::format(": variable bitrate, {} to {} kbit/s", walk.minBitrate, walk.maxBitrate) : ""));
        failure.offset = change.offset;
        failure.frame = change.frame;
        failure.seconds = change.seconds;
    }
}

std::string Seconds(const std::vector<double>& places) {
    std::string text;
    for (size_t i = 0; i < places.size() && i < kMostListed; ++i) text += fmt::format("{}{:.3f} s", i ? ", " : "", places[i]);
    if (places.size() > kMostListed) text += fmt::format(" and {} more places", places.size() - kMostListed);
    return text;
}

void JudgeLoudness(DeliveryReport& report, const LoudnessRequirement& required, const LoudnessFacts& measured) {
    if (!measured.integratedLufs)
        report.Fail("loudness", fmt::format("no programme loudness (below the absolute gate); target {:.1f} LUFS",
                                            required.targetLufs));
    else if (std::fabs(*measured.integratedLufs - required.targetLufs) > required.toleranceLu)
        report.Fail("loudness", fmt::format("integrated loudness {:.1f} LUFS, target {:.1f} ± {:.1f} LU",
                                            *measured.integratedLufs, required.targetLufs, required.toleranceLu));
    if (required.truePeakCeilingDbtp && measured.truePeakDbtp > *required.truePeakCeilingDbtp)
        report.Fail("true-peak", fmt::format("true peak {:.1f} dBTP, above the ceiling of {:.1f} dBTP",
                                             measured.truePeakDbtp, *required.truePeakCeilingDbtp));
}

void JudgeDecoded(DeliveryReport& report) {
    const DecodedFacts& decoded = *report.decoded;
    const StreamDamage& damage = decoded.damage;
    if (!damage.decoderFailedAt.empty()) {
        DeliveryFailure& failure = report.Fail("decode", "the decoder failed at " + Seconds(damage.decoderFailedAt));
        failure.seconds = damage.decoderFailedAt.front();
    }
    if (damage.gaveUp) report.Fail("decode", "the decoder found nothing it could decode after that");
    // What the headers show already explains a loss; a loss without it is the decoder's own.
    if (damage.problems.empty() && (damage.Lost() > 0 || damage.Extra() > 0))
        report.Fail("length", fmt::format("the module delivered {} samples per channel; the frame headers promise {}",
                                          damage.delivered, damage.promised.value_or(0)));
    if (report.loudnessRequired && report.loudnessRequired->judged && decoded.loudness)
        JudgeLoudness(report, *report.loudnessRequired, *decoded.loudness);
    if (decoded.allSilent && decoded.samples > 0)
        report.Fail("silence", fmt::format("silent throughout: no sample reaches {:.0f} dBFS", decoded.silenceThresholdDbfs));
}

// Decodes the whole file through the module, measuring as it goes.
void Decode(StartedModule& module, DeliveryReport& report, const DeliveryOptions& options) {
    ReadSession session(module, report.path);
    session.HideDecoderNotes(true);
    const int32_t result = session.Open();
    if (result != sova::sdk::kResultOK) {
        report.Fail("decode", "the module cannot read it: " + OpenRefusalInWords(result, report.frames.walk));
        return;
    }
    DecodedFacts decoded;
    decoded.sampleRate = session.Format().sampleRate;
    decoded.channels = session.Format().channelCount;
    SilenceSpan silence;
    std::optional<LoudnessMeter> meter;
    if (options.loudness || options.measureLoudness)
        meter.emplace(decoded.sampleRate, decoded.channels, LoudnessMeter::Measures::All, LoudnessMeter::WhereThereIsASecondCore());
    std::vector<const float*> channels(static_cast<size_t>(decoded.channels));
    std::vector<float> interleaved;
    const ReadThroughReport read = ReadThrough(session, options.block, [&](const ReadSession& block) {
        const int64_t frames = block.FramesDone();
        for (int32_t c = 0; c < decoded.channels; ++c) channels[static_cast<size_t>(c)] = block.Channel(c);
        silence.Add(channels.data(), decoded.channels, frames);
        if (meter) {
            interleaved.resize(static_cast<size_t>(frames * decoded.channels));
            for (int64_t i = 0; i < frames; ++i)
                for (int32_t c = 0; c < decoded.channels; ++c)
                    interleaved[static_cast<size_t>(i * decoded.channels + c)] = channels[static_cast<size_t>(c)][i];
            meter->Add(interleaved.data(), frames);
        }
        return true;
    });
    if (meter) decoded.loudness = meter->Facts();
    decoded.samples = read.delivered;
    const double rate = decoded.sampleRate > 0 ? decoded.sampleRate : 1;
    decoded.headSilence = static_cast<double>(silence.HeadFrames()) / rate;
    decoded.tailSilence = static_cast<double>(silence.TailFrames()) / rate;
    decoded.allSilent = silence.AllSilent();
    decoded.silenceThresholdDbfs = silence.ThresholdDbfs();
    decoded.damage = AssessDamage(report.frames.walk, read, decoded.sampleRate);
    report.decoded = decoded;
}
} // namespace

DeliveryFailure& DeliveryReport::Fail(std::string check, std::string message) {
    failures.push_back({std::move(check), std::move(message), {}, {}, {}});
    return failures.back();
}

DeliveryReport CheckDelivery(StartedModule& module, const std::string& path, const DeliveryOptions& options) {
    DeliveryReport report;
    report.path = path;
    report.loudnessRequired = options.loudness;
    if (!IsUtf8(path)) {
        report.Fail("unreadable", "the path is not UTF-8, which the plug-in needs; rename it");
        return report;
    }
    if (const std::optional<InputRefusal> refusal = RefuseInput(path)) {
        report.Fail("unreadable", refusal->message);
        return report;
    }
    report.frames = AuditFrames(path);
    JudgeFrames(report);
    Decode(module, report, options);
    if (report.decoded) JudgeDecoded(report);
    return report;
}
} // namespace sovahost
