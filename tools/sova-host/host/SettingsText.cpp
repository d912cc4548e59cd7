// SPDX-License-Identifier: MIT
#include "host/SettingsText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include <fmt/format.h>

namespace sovahost {
namespace {
constexpr std::array<const char*, 13> kKeys = {"ATH",          "BitsPerSecond", "CRC",       "ChannelMode", "CompressionType",
                                               "Copy",         "EmphasisType",  "Energy",    "MPEGVersion", "Original",
                                               "PAMType",      "PaddingType",   "ShowAdvanced"};

std::optional<int32_t> Number(const std::string& text) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A type or value field the module takes as a number: only "-0123456789" characters.
std::optional<int32_t> Field(const std::string& text) {
    if (text.empty() || text.find_first_not_of("-0123456789") != std::string::npos) return std::nullopt;
    return Number(text);
}
} // namespace

SettingsReading ReadSettingsText(const std::string& text) {
    SettingsReading reading;
    // One line per kind of problem and key, however often the text repeats it.
    std::map<std::string, size_t> lineOf;
    std::vector<size_t> seen;
    const auto problem = [&](const std::string& kind, const std::string& key, std::string line) {
        const auto [found, added] = lineOf.emplace(kind + ':' + key, reading.problems.size());
        if (added) {
            reading.problems.push_back(std::move(line));
            seen.push_back(1);
        } else {
            ++seen[found->second];
        }
    };
    size_t keyStart = 0;
    for (size_t first = text.find(':'); first != std::string::npos; first = text.find(':', keyStart)) {
        const size_t second = text.find(':', first + 1);
        const size_t end = second == std::string::npos ? second : text.find(';', second);
        if (end == std::string::npos) break;
        const std::string entry = text.substr(keyStart, end + 1 - keyStart);
        const std::string key = text.substr(keyStart, first - keyStart);
        const std::string value = text.substr(second + 1, end - second - 1);
        const std::optional<int32_t> type = Field(text.substr(first + 1, second - first - 1));
        keyStart = end + 1;
        const bool known = std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end();
        if (value.empty() || !type || key.size() < 2 || (*type == 0 && !Field(value))) {
            problem("malformed", key, fmt::format("malformed entry '{}' ignored (the form is Key:0:integer;)", entry));
        } else if (!known) {
            problem("unknown", key, fmt::format("unknown key '{}' ignored (known keys: {})", key, KnownSettingsKeys()));
        } else if (*type != 0) {
            problem("type", key,
                    fmt::format("'{}' is not an integer entry and is ignored (the form is {}:0:integer;)", entry, key));
        } else {
            reading.integers.emplace(key, value);
        }
    }
    if (keyStart < text.size() && text.find_first_not_of(" \t\r\n", keyStart) != std::string::npos)
        reading.problems.push_back(fmt::format("'{}' ignored (each entry ends with ';')", text.substr(keyStart)));
    for (size_t line = 0; line < seen.size(); ++line)
        if (seen[line] > 1) reading.problems[line] += fmt::format(" (seen {} times)", seen[line]);
    return reading;
}

std::map<std::string, std::string> SettingsEntries(const std::string& text) { return ReadSettingsText(text).integers; }

std::optional<int32_t> SettingsNumber(const std::map<std::string, std::string>& entries, const std::string& key) {
    const auto found = entries.find(key);
    return found == entries.end() ? std::nullopt : Number(found->second);
}

int32_t SettingsValue(const std::string& text, const std::string& key, int32_t fallback) {
    return SettingsNumber(SettingsEntries(text), key).value_or(fallback);
}

void WarnAboutSettingsText(const SettingsReading& reading) {
    for (const std::string& problem : reading.problems)
        std::fprintf(stderr, "sova-host: warning: --settings: %s\n", problem.c_str());
}

std::string KnownSettingsKeys() { return fmt::format("{}", fmt::join(kKeys, ", ")); }
} // namespace sovahost
