// SPDX-License-Identifier: MIT
// One JSON object built field by field, for output that scripts read (one object a line).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sovahost {
class JsonObject {
public:
    void Add(const std::string& key, const std::string& value);
    void Add(const std::string& key, const char* value) { Add(key, std::string(value)); }
    void Add(const std::string& key, int64_t value);
    void Add(const std::string& key, int32_t value) { Add(key, static_cast<int64_t>(value)); }
    void Add(const std::string& key, bool value);
    void Add(const std::string& key, double value); // to three decimals (seconds to the millisecond)
    void Add(const std::string& key, const std::vector<double>& values);
    void Add(const std::string& key, const std::vector<JsonObject>& objects); // an array of objects
    void AddNull(const std::string& key);
    std::string Text() const { return "{" + fields_ + "}"; }
private:
    void Key(const std::string& key);
    std::string fields_;
};

// value as a JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& value);
} // namespace sovahost
