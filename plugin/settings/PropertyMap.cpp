// SPDX-License-Identifier: MIT
#include "settings/PropertyMap.h"

#include <tsacore/config/Error.h>
#include <tsacore/utility/Numbers.h>

namespace sova {
namespace {
using tsacore::UString;

// Decimal text as the settings text writes it: an optional leading "-" and at least one digit.
// Fields made of "-0123456789" in another shape (empty, a lone "-", a "-" after a digit) are
// rejected here rather than left to the host's conversion.
bool IsDecimal(const UString& text) {
    const size_t digits = !text.empty() && text[0] == u'-' ? 1 : 0;
    if (digits == text.size()) return false;
    return text.find_first_not_of(u"0123456789", digits) == UString::npos;
}

// The host's conversion with its throwing flag; a throw means the text is not a number
// (here: a number outside 32 bits).
bool ConvertNumber(const UString& text, int32_t& number) {
    if (!IsDecimal(text)) return false;
    try {
        return tsacore::utility::StringToNumber(number, text, tsacore::utility::kStringToNumberThrow);
    } catch (const tsacore::config::Error&) {
        return false;
    }
}

void AppendEntry(UString& out, const UString& key, const char16_t* type, const UString& value) {
    out += key;
    out += type;
    out += value;
    out += u';';
}
} // namespace

bool PropertyMap::SetInteger(const UString& key, int32_t value) { return integers_.emplace(key, value).second; }

bool PropertyMap::SetString(const UString& key, const UString& value) { return strings_.emplace(key, value).second; }

bool PropertyMap::GetInteger(const UString& key, int32_t& value) const {
    auto found = integers_.find(key);
    if (found == integers_.end()) return false;
    value = found->second;
    return true;
}

bool PropertyMap::GetString(const UString& key, UString& value) const {
    auto found = strings_.find(key);
    if (found == strings_.end()) return false;
    value = found->second;
    return true;
}

void PropertyMap::Clear() {
    integers_.clear();
    strings_.clear();
}

UString PropertyMap::ToText() const {
    UString out;
    for (const auto& [key, value] : integers_) AppendEntry(out, key, u":0:", tsacore::utility::NumberToString(value));
    for (const auto& [key, value] : strings_) AppendEntry(out, key, u":1:", value);
    return out;
}

void PropertyMap::FromText(const UString& text) {
    Clear();
    size_t keyStart = 0;
    size_t firstColon = text.find(u':');
    while (firstColon != UString::npos) {
        const size_t secondColon = text.find(u':', firstColon + 1);
        if (secondColon == UString::npos) return;
        const size_t end = text.find(u';', secondColon);
        if (end == UString::npos) return;

        const UString key = text.substr(keyStart, firstColon - keyStart);
        const UString type = text.substr(firstColon + 1, secondColon - firstColon - 1);
        const UString value = text.substr(secondColon + 1, end - secondColon - 1);
        keyStart = end + 1;

        int32_t typeNumber = 0;
        if (!value.empty() && key.size() >= 2 && ConvertNumber(type, typeNumber)) {
            if (typeNumber != 0) {
                SetString(key, value);
            } else if (int32_t number = 0; ConvertNumber(value, number)) {
                SetInteger(key, number);
            }
        }
        firstColon = text.find(u':', keyStart);
    }
}
} // namespace sova
