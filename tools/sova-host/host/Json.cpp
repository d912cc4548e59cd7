// SPDX-License-Identifier: MIT
#include "host/Json.h"

#include <fmt/format.h>

#include "host/Utf8.h"

namespace sovahost {
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

void JsonObject::Add(const std::string& key, const std::vector<JsonObject>& objects) {
    Key(key);
    fields_ += "[";
    for (size_t i = 0; i < objects.size(); ++i) fields_ += (i ? "," : "") + objects[i].Text();
    fields_ += "]";
}

void JsonObject::AddNull(const std::string& key) {
    Key(key);
    fields_ += "null";
}
} // namespace sovahost
