// SPDX-License-Identifier: MIT
#include "host/BroadcastWaveInfo.h"

#include <fmt/format.h>

namespace sovahost {
namespace {
std::string Quoted(const std::string& text) { return text.empty() ? "(empty)" : "\"" + text + "\""; }

// The coding history's lines without their CR LF, joined by "; ".
std::string HistoryInOneLine(const std::string& history) {
    std::string out;
    size_t start = 0;
    while (start < history.size()) {
        size_t end = history.find_first_of("\r\n", start);
        if (end == std::string::npos) end = history.size();
        if (end > start) out += (out.empty() ? "" : "; ") + history.substr(start, end - start);
        start = end + 1;
    }
    return out.empty() ? "(none)" : out;
}

std::string LoudnessText(const StoredLoudness& loudness) {
    const auto value = [](const std::optional<double>& v, const char* unit) {
        return v ? fmt::format("{:.2f} {}", *v, unit) : std::string("not stored");
    };
    return fmt::format("integrated {}, range {}, true peak {}, max momentary {}, max short-term {}",
                       value(loudness.integratedLufs, "LUFS"), value(loudness.rangeLu, "LU"),
                       value(loudness.maxTruePeakDbtp, "dBTP"), value(loudness.maxMomentaryLufs, "LUFS"),
                       value(loudness.maxShortTermLufs, "LUFS"));
}

void AddOptional(JsonObject& json, const char* key, const std::optional<double>& value) {
    if (value) json.Add(key, *value);
    else json.AddNull(key);
}
} // namespace

bool HoldsMpeg(const BroadcastWaveFacts& facts) { return facts.formatTag == 0x0050; }

void BroadcastWaveLines(const BroadcastWaveFacts& facts,
                        const std::function<void(const char* label, const std::string& value)>& line) {
    std::string chunks = "fmt 0x0050";
    if (facts.factSamples) chunks += ", fact";
    if (facts.mext) chunks += ", mext";
    if (facts.bext) chunks += ", bext";
    line("container:", fmt::format("{} WAV ({})", facts.bext ? "broadcast" : "RIFF", chunks));
    if (facts.factSamples) line("fact:", fmt::format("{} samples per channel", *facts.factSamples));
    if (facts.mext)
        line("mext:", fmt::format("{}, padding {}, frame size {} bytes, {} bytes of ancillary data",
                                  facts.mext->Homogeneous() ? "homogeneous" : "not homogeneous",
                                  facts.mext->PaddingAlwaysOff() ? "never used" : "used", facts.mext->frameSize,
                                  facts.mext->ancillaryDataLength));
    if (!facts.bext) return;
    const BroadcastText& text = facts.bext->text;
    line("bext:", fmt::format("version {}", facts.bext->version));
    line("  description:", Quoted(text.description));
    line("  originator:", Quoted(text.originator));
    line("  reference:", Quoted(text.originatorReference));
    line("  originated:", text.originationDate + " " + text.originationTime);
    line("  time ref.:", fmt::format("{} samples", text.timeReference));
    line("  history:", HistoryInOneLine(text.codingHistory));
    line("  loudness:", facts.bext->version >= 2 ? LoudnessText(facts.bext->loudness) : "not stored (bext version below 2)");
}

void AddBroadcastWaveJson(JsonObject& json, const BroadcastWaveFacts& facts) {
    json.Add("container", facts.bext ? "broadcast WAV" : "RIFF WAV");
    if (facts.factSamples) json.Add("fact_samples", static_cast<int64_t>(*facts.factSamples));
    else json.AddNull("fact_samples");
    if (facts.mext) {
        json.Add("mext_homogeneous", facts.mext->Homogeneous());
        json.Add("mext_padding_never_used", facts.mext->PaddingAlwaysOff());
        json.Add("mext_frame_size", static_cast<int64_t>(facts.mext->frameSize));
        json.Add("mext_ancillary_bytes", static_cast<int64_t>(facts.mext->ancillaryDataLength));
    }
    if (!facts.bext) return;
    const BroadcastText& text = facts.bext->text;
    json.Add("bext_version", static_cast<int64_t>(facts.bext->version));
    json.Add("bext_description", text.description);
    json.Add("bext_originator", text.originator);
    json.Add("bext_originator_reference", text.originatorReference);
    json.Add("bext_origination_date", text.originationDate);
    json.Add("bext_origination_time", text.originationTime);
    json.Add("bext_time_reference", static_cast<int64_t>(text.timeReference));
    json.Add("bext_coding_history", text.codingHistory);
    AddOptional(json, "bext_loudness_lufs", facts.bext->loudness.integratedLufs);
    AddOptional(json, "bext_loudness_range_lu", facts.bext->loudness.rangeLu);
    AddOptional(json, "bext_true_peak_dbtp", facts.bext->loudness.maxTruePeakDbtp);
    AddOptional(json, "bext_max_momentary_lufs", facts.bext->loudness.maxMomentaryLufs);
    AddOptional(json, "bext_max_short_term_lufs", facts.bext->loudness.maxShortTermLufs);
}
} // namespace sovahost
