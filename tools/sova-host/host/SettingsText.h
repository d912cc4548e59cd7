// The host's reading of a settings text ("Key:type:value;" entries, type 0 for integers): the
// same entries the module accepts, and what the module would silently ignore, in words.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sovahost {
struct SettingsEntries {
    std::map<std::string, int32_t> integers; // first accepted occurrence of each key
    std::vector<std::string> problems;       // one line each: malformed entries, unknown keys
};

SettingsEntries ReadSettingsText(const std::string& text);
// An integer entry of the text, or fallback.
int32_t SettingsValue(const std::string& text, const std::string& key, int32_t fallback);
// "ATH, BitsPerSecond, ..."
std::string KnownSettingsKeys();
} // namespace sovahost
