// SPDX-License-Identifier: MIT
// The host's localiser. Literals have the form "$$$/key/path=Default text".
#pragma once

#include <tsacore/String.h>

namespace tsacore::config {
class Localizer {
public:
    static Localizer& Get();

    virtual void Reserved0() {} // position 0
    // 1: fills out with the translation of literal's key, or with the text after "="
    // when there is none (the whole literal when it has no "="); returns out.
    virtual UString& Localize(UString& out, const char* literal);

    // Host side: loads "key=text" lines (UTF-8, "$$$/..." keys without the default text,
    // "#" comments) and adds them to the translations. Returns false when unreadable.
    bool LoadTranslations(const std::string& path);
    void AddTranslation(const ByteString& key, const UString& text);
    void ClearTranslations();
protected:
    Localizer() = default;
    ~Localizer() = default;
};

// Convenience: the localised text of a literal.
UString Localize(const char* literal);
} // namespace tsacore::config
