// SPDX-License-Identifier: MIT
// The key/value container behind the settings text: one map of integers and one of strings,
// both ordered by UTF-16 code unit. Inserting a key that is already present keeps the value
// stored first.
#pragma once

#include <cstdint>
#include <map>

#include <tsacore/String.h>

namespace sova {
class PropertyMap {
public:
    // std::u16string compares char16_t code units as unsigned numbers, which is the order
    // the text form needs.
    using IntegerMap = std::map<tsacore::UString, int32_t>;
    using StringMap = std::map<tsacore::UString, tsacore::UString>;

    // Both return false (and store nothing) when the key already has an entry of that kind.
    bool SetInteger(const tsacore::UString& key, int32_t value);
    bool SetString(const tsacore::UString& key, const tsacore::UString& value);
    // False when key has no integer (string) entry; value is then unchanged.
    bool GetInteger(const tsacore::UString& key, int32_t& value) const;
    bool GetString(const tsacore::UString& key, tsacore::UString& value) const;

    // "key:0:value;" for each integer, then "key:1:value;" for each string; nothing escaped.
    tsacore::UString ToText() const;
    // Replaces the contents with the entries parsed from text; malformed entries are skipped.
    void FromText(const tsacore::UString& text);

    const IntegerMap& Integers() const { return integers_; }
    const StringMap& Strings() const { return strings_; }
    void Clear();
    bool operator==(const PropertyMap&) const = default;

private:
    IntegerMap integers_;
    StringMap strings_;
};
} // namespace sova
