// SPDX-License-Identifier: MIT
// Fuzzes the text conversions. The bytes are read both as UTF-8 and as UTF-16 code units:
// - UTF-8 decoding never yields a lone surrogate, and valid text survives a round trip;
// - UTF-16 text without lone surrogates survives a round trip through UTF-8, and a broken
//   one comes back with each lone surrogate replaced by U+FFFD;
// - a text StringToNumber accepts prints back as the same number, the throwing form raises
//   exactly when the quiet one refuses, and ReplaceInString only ever replaces "@<digit>".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <tsacore/config/Error.h>
#include <tsacore/utility/Numbers.h>
#include <tsacore/utility/ReplaceInString.h>
#include <tsacore/utility/StringConversion.h>

using namespace tsacore;
using namespace tsacore::utility;

namespace {
bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The text with every unpaired surrogate replaced by U+FFFD.
UString Repaired(const UString& text)
{
    UString out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
            out += text[i];
            out += text[++i];
        } else {
            out += (IsHigh(text[i]) || IsLow(text[i])) ? char16_t(0xFFFD) : text[i];
        }
    }
    return out;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteString bytes(reinterpret_cast<const char*>(data), size);
    const UString decoded = UTF8to16(bytes);
    Check(Repaired(decoded) == decoded);
    const ByteString encoded = UTF16to8(decoded);
    Check(UTF8to16(encoded) == decoded);
    if (decoded.find(char16_t(0xFFFD)) == UString::npos)
        Check(encoded == bytes); // nothing was replaced: the input was valid UTF-8

    UString units(size / 2, u'\0');
    if (!units.empty())
        std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    Check(UTF8to16(UTF16to8(units)) == Repaired(units));

    int32_t quiet = 0;
    const bool accepted = StringToNumber(quiet, units, kStringToNumberQuiet);
    int32_t thrown = 0;
    bool raised = false;
    try {
        Check(StringToNumber(thrown, units, kStringToNumberThrow) == accepted);
    } catch (const config::Error&) {
        raised = true;
    }
    Check(raised != accepted);
    if (accepted) {
        Check(thrown == quiet);
        int32_t again = 0;
        Check(StringToNumber(again, NumberToString(quiet), kStringToNumberQuiet) && again == quiet);
    }

    // Replacing every placeholder by itself changes nothing.
    const UString same = ReplaceInString(units, u"@0", u"@1", u"@2", u"@3", u"@4", u"@5", u"@6", u"@7", u"@8", u"@9");
    Check(same == units);
    return 0;
}
