#include "host/SettingsText.h"

#include <charconv>

namespace sovahost {
std::map<std::string, std::string> SettingsEntries(const std::string& text) {
    std::map<std::string, std::string> entries;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(';', at);
        if (end == std::string::npos) end = text.size();
        const std::string entry = text.substr(at, end - at);
        at = end + 1;
        const size_t first = entry.find(':');
        const size_t second = first == std::string::npos ? first : entry.find(':', first + 1);
        if (first == 0 || second == std::string::npos) continue;
        entries.emplace(entry.substr(0, first), entry.substr(second + 1));
    }
    return entries;
}

std::optional<int32_t> SettingsNumber(const std::map<std::string, std::string>& entries, const std::string& key) {
    const auto found = entries.find(key);
    if (found == entries.end()) return std::nullopt;
    int32_t value = 0;
    const std::string& text = found->second;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}
} // namespace sovahost
