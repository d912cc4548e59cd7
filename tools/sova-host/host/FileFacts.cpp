// SPDX-License-Identifier: MIT
#include "host/FileFacts.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>

#include "host/BroadcastWaveReader.h"
#include "host/InputProblem.h"
#include "host/SettingsText.h"
#include "host/Utf8.h"

namespace sovahost {
namespace {
// Why a file cannot be read at all, before the module is asked; empty when it can.
bool RefusedBeforeOpening(FileFacts& facts) {
    if (!IsUtf8(facts.path)) { // the module takes paths as UTF-16, converted from UTF-8
        facts.refusalKind = "unreadable";
        facts.refusal = "unreadable: the path is not UTF-8, which the plug-in needs; rename it";
        return true;
    }
    if (const std::optional<InputRefusal> refusal = RefuseInput(facts.path)) {
        facts.refusalKind = refusal->kind;
        facts.refusal = refusal->message;
        return true;
    }
    return false;
}

void TakeSettings(FileFacts& facts) {
    const auto entries = SettingsEntries(facts.settingsText);
    const auto number = [&](const char* key) { return SettingsNumber(entries, key); };
    if (const auto bitrate = number("BitsPerSecond"); bitrate && *bitrate > 0) facts.bitrate = bitrate;
    facts.mode = number("ChannelMode").value_or(-1);
    facts.emphasis = number("EmphasisType").value_or(0);
    facts.crc = number("CRC").value_or(0) != 0;
    facts.copyright = number("Copy").value_or(0) != 0;
    facts.original = number("Original").value_or(0) != 0;
}
} // namespace

std::string LayerNumeral(int layer) {
    switch (layer) {
    case 1: return "I";
    case 2: return "II";
    case 3: return "III";
    default: return std::to_string(layer);
    }
}

int64_t FileFacts::Samples() const {
    if (verified) return verified->delivered;
    if (walk && walk->Found() && !walk->freeFormat) return walk->PromisedSamples();
    return format.length;
}

const char* FileFacts::SamplesSource() const {
    // What a decoder that failed delivered is not the stream's length.
    if (verified) return verified->DecoderFailed() ? "as decoded from a damaged stream" : "exact";
    if (walk && walk->Found() && !walk->freeFormat) return "from the frame headers";
    return "estimated at open";
}

double FileFacts::Seconds(int64_t frames) const {
    return format.sampleRate > 0 ? static_cast<double>(frames) / format.sampleRate : 0.0;
}

std::string FileFacts::ModeName() const {
    switch (mode) {
    case 0: return "stereo";
    case 1: return "joint stereo";
    case 2: return "dual channel";
    case 3: return "mono";
    default: return "unknown";
    }
}

std::string FileFacts::EmphasisName() const {
    switch (emphasis) {
    case 0: return "none";
    case 1: return "50/15 us";
    case 3: return "CCITT J.17";
    default: return "unknown";
    }
}

std::string FileFacts::VerifiedInWords() const {
    if (!verified || !damage) return "";
    const std::string read = fmt::format("{} samples ({:.3f} s) read through the module", verified->delivered,
                                         Seconds(verified->delivered));
    if (!damage->Damaged()) return read + (verified->endConfirmed ? ", no damage" : ", the end not confirmed");
    return read + "; " + damage->InWords(format.sampleRate);
}

std::string FileFacts::HeaderDamageInWords() const {
    if (!walk || walk->problems.empty()) return "";
    StreamDamage shown;
    shown.problems = walk->problems;
    return shown.InWords(format.sampleRate) + " (from the frame headers; --verify decodes it too)";
}

std::optional<std::string> WaveSamplesKind(const std::string& path) {
    std::error_code notAFile;
    if (!std::filesystem::is_regular_file(path, notAFile)) return std::nullopt; // a pipe is read once, by the module
    const std::optional<BroadcastWaveFacts> wave = ReadBroadcastWave(path);
    if (!wave || !wave->dataFound) return std::nullopt;
    switch (wave->formatTag) {
    case 0x0001: return "PCM samples";
    case 0x0003: return "float samples";
    case 0x0006: return "A-law samples";
    case 0x0007: return "mu-law samples";
    case 0xFFFE: return "PCM or float samples (extensible format)";
    default: return std::nullopt; // MPEG (0x0050, 0x0055) or a format the frame walk may find frames in
    }
}

std::string WaveRefusalInWords(const std::string& samples, int32_t result) {
    return fmt::format("not MPEG audio: a WAV file of {} (module answer {})", samples, ResultInWords(result));
}

std::string OpenRefusalInWords(int32_t result, const std::optional<FrameWalk>& walk) {
    const bool noReader = result == sova::sdk::kResultFailed;
    const bool freeFormat = walk && walk->freeFormat;
    std::string words = noReader     ? "not MPEG audio: the decoder found no MPEG audio stream in it"
                        : freeFormat ? "unusable: free-format bitstream (not supported)"
                                     : "unusable: the module cannot read this stream";
    words += fmt::format(" (module answer {})", ResultInWords(result));
    if (!noReader && walk && !walk->problems.empty()) // damage where the module starts decoding
        words += "; its frame headers show " + walk->problems.front().InWords();
    return words;
}

FileFacts GatherFileFacts(StartedModule& module, const std::string& path, const FactOptions& options) {
    FileFacts facts;
    facts.path = path;
    if (RefusedBeforeOpening(facts)) return facts;

    // The samples of a WAV file of PCM or float audio would read as junk to the frame walk.
    const std::optional<std::string> samples = WaveSamplesKind(path);
    if (!samples) facts.walk = WalkFrames(path);
    ReadSession session(module, path);
    session.HideDecoderNotes(options.hideDecoderNotes);
    const int32_t result = session.Open();
    facts.description = ToUtf8(session.OpenedFile().description);
    if (result != sova::sdk::kResultOK) {
        facts.refusalKind = result == sova::sdk::kResultFailed || samples ? "not MPEG audio" : "unusable";
        facts.refusal = samples ? WaveRefusalInWords(*samples, result) : OpenRefusalInWords(result, facts.walk);
        return facts;
    }
    facts.format = session.Format();
    facts.settingsText = ToUtf8(facts.format.settingsText);
    TakeSettings(facts);
    if (options.verify) {
        facts.verified = ReadThrough(session, options.block, nullptr);
        facts.damage = AssessDamage(facts.walk, *facts.verified, facts.format.sampleRate);
    }
    return facts;
}
} // namespace sovahost
