#include "host/Json.h"

#include <fmt/format.h>

namespace sovahost {
namespace {
// Length of the valid UTF-8 sequence at text[at], 0 when it is not one.
size_t Utf8SequenceAt(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    if (length == 2 && lead < 0xC2) return 0; // overlong
    return length;
}
} // namespace

std::string JsonString(const std::string& value) {
    std::string out = "\"";
    for (size_t at = 0; at < value.size();) {
        const char c = value[at];
        const size_t length = Utf8SequenceAt(value, at);
        if (length == 0) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') out += std::string("\\") + c;
        else if (static_cast<unsigned char>(c) < 0x20) out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
        else out.append(value, at, length);
        at += length;
    }
    return out + "\"";
}

void JsonObject::Key(const std::string& key) {
    if (!fields_.empty()) fields_ += ",";
    fields_ += JsonString(key) + ":";
}

void JsonObject::Add(const std::string& key, const std::string& value) {
    Key(key);
    fields_ += JsonString(value);
}

void JsonObject::Add(const std::string& key, int64_t value) {
    Key(key);
    fields_ += std::to_string(value);
}

void JsonObject::Add(const std::string& key, bool value) {
    Key(key);
    fields_ += value ? "true" : "false";
}

void JsonObject::Add(const std::string& key, double value) {
    Key(key);
    fields_ += fmt::format("{:.3f}", value);
}

void JsonObject::Add(const std::string& key, const std::vector<double>& values) {
    Key(key);
    fields_ += "[";
    for (size_t i = 0; i < values.size(); ++i) fields_ += fmt::format("{}{:.3f}", i ? "," : "", values[i]);
    fields_ += "]";
}

void JsonObject::AddNull(const std::string& key) {
    Key(key);
    fields_ += "null";
}
} // namespace sovahost
