// SPDX-License-Identifier: MIT
// The entries of a settings text ("Key:type:value;" one after another, type 0 for integers) as
// the module reads them, and what it would silently ignore, in words.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sovahost {
struct SettingsReading {
    std::map<std::string, std::string> integers; // key to value text of the accepted integer entries; first wins
    std::vector<std::string> problems; // one line per kind and key (malformed entry, unknown key...), stray text
};
SettingsReading ReadSettingsText(const std::string& text);

// Key to value text of the integer entries the module accepts.
std::map<std::string, std::string> SettingsEntries(const std::string& text);
// The entry's value as a number, when it holds one.
std::optional<int32_t> SettingsNumber(const std::map<std::string, std::string>& entries, const std::string& key);
// An integer entry of the text, or fallback.
int32_t SettingsValue(const std::string& text, const std::string& key, int32_t fallback);
// Warns on stderr, a line each, about what the module would ignore in a --settings text.
void WarnAboutSettingsText(const SettingsReading& reading);
// "ATH, BitsPerSecond, ..."
std::string KnownSettingsKeys();
} // namespace sovahost
