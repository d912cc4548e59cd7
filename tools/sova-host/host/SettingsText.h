// The entries of a settings text ("Key:type:value;" one after another), as the host reads them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace sovahost {
// Key to value text; the first entry of a key wins, as in the module. Malformed entries are left out.
std::map<std::string, std::string> SettingsEntries(const std::string& text);
// The entry's value as a number, when it holds one.
std::optional<int32_t> SettingsNumber(const std::map<std::string, std::string>& entries, const std::string& key);
} // namespace sovahost
