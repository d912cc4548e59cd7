// SPDX-License-Identifier: MIT
// Fuzzes what sova-host reads from untrusted files and command lines, on arbitrary bytes:
// - the frame-header walk stays inside the bytes, accounts for each of them once and reports only
//   what a header can hold;
// - the RIFF/WAVE chunk reader (fmt, fact, mext, bext) stays inside the bytes and keeps each bext
//   text within its field;
// - JSON text made from any bytes is valid UTF-8, quoted, with no raw control characters, and
//   well-formed text without quotes or backslashes comes through unchanged;
// - the host's reading of a settings text accepts exactly the integer entries the module reads,
//   with the same values (its warnings name what the module ignores, nothing else).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <tsacore/utility/StringConversion.h>

#include "host/BroadcastWaveReader.h"
#include "host/FrameWalk.h"
#include "host/Json.h"
#include "host/SettingsText.h"
#include "host/Utf8.h"
#include "settings/PropertyMap.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckFrameHeaders(const std::vector<uint8_t>& bytes) {
    uint64_t walked = 0;
    const sovahost::FrameWalk walk = sovahost::WalkFrames(bytes, [&](const sovahost::FrameHeader& header, uint64_t offset,
                                                                     std::span<const uint8_t> frame) {
        Require(header.layer >= 1 && header.layer <= 3 && header.length == frame.size());
        Require(offset >= walked && offset + frame.size() <= bytes.size());
        walked = offset + frame.size();
    });
    Require(walk.audioStart <= walk.audioEnd && walk.audioEnd <= bytes.size());
    if (walk.first) Require(walk.first->Version() == "1" || walk.first->Version() == "2" || walk.first->Version() == "2.5");
    for (const sovahost::StreamProblem& problem : walk.problems) Require(problem.offset <= bytes.size());
    Require(walk.PromisedSamples() >= 0 && walk.samples >= 0);
}

void CheckJson(const std::string& text) {
    const std::string json = sovahost::JsonString(text);
    Require(json.size() >= 2 && json.front() == '"' && json.back() == '"');
    Require(sovahost::IsUtf8(json));
    for (const unsigned char c : json) Require(c >= 0x20);
    bool plain = sovahost::IsUtf8(text);
    for (const unsigned char c : text) plain = plain && c >= 0x20 && c != '"' && c != '\\';
    if (plain) Require(json == "\"" + text + "\"");
}

void CheckSettingsAgainstModule(const std::string& text) {
    if (!sovahost::IsUtf8(text)) return; // the host hands the module UTF-8 text only
    const std::map<std::string, std::string> host = sovahost::SettingsEntries(text);
    sova::PropertyMap module;
    module.FromText(tsacore::utility::UTF8to16(text));
    for (const std::string& key : {"ATH", "BitsPerSecond", "CRC", "ChannelMode", "CompressionType", "Copy",
                                   "EmphasisType", "Energy", "MPEGVersion", "Original", "PAMType", "PaddingType",
                                   "ShowAdvanced"}) {
        int32_t value = 0;
        const bool moduleHas = module.GetInteger(tsacore::utility::UTF8to16(key), value);
        const auto hostHas = host.find(key);
        Require(moduleHas == (hostHas != host.end()));
        if (moduleHas) Require(sovahost::SettingsNumber(host, key) == value);
    }
}
} // namespace

void CheckBroadcastWave(const std::vector<uint8_t>& bytes) {
    const std::optional<sovahost::BroadcastWaveFacts> facts = sovahost::ReadBroadcastWave(bytes);
    if (!facts) return;
    Require(bytes.size() >= 12);
    if (facts->dataFound) Require(facts->dataOffset >= 20 && facts->dataOffset <= bytes.size());
    if (facts->mpeg) Require(facts->formatTag == 0x0050);
    if (const auto& bext = facts->bext) {
        Require(bext->text.description.size() <= 256 && bext->text.originator.size() <= 32 &&
                bext->text.originatorReference.size() <= 32 && bext->text.originationDate.size() <= 10 &&
                bext->text.originationTime.size() <= 8 && bext->text.codingHistory.size() <= bytes.size());
        for (const auto& value : {bext->loudness.integratedLufs, bext->loudness.rangeLu, bext->loudness.maxTruePeakDbtp})
            if (value) Require(*value >= -327.68 && *value <= 327.67);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckFrameHeaders(bytes);
    CheckBroadcastWave(bytes);
    CheckJson(text);
    CheckSettingsAgainstModule(text);
    return 0;
}
