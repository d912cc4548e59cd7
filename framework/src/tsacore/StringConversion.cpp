// SPDX-License-Identifier: MIT
// UTF-16 <-> UTF-8 conversions. Anything that cannot be decoded becomes U+FFFD.
#include <tsacore/utility/StringConversion.h>

namespace tsacore::utility {
namespace {
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(ByteString& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(UString& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

ByteString Utf16To8(const char16_t* text, size_t length)
{
    ByteString out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c)) {
            if (i + 1 < length && IsLowSurrogate(text[i + 1])) {
                const char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
                AppendUtf8(out, cp);
                ++i;
            } else {
                AppendUtf8(out, kReplacement);
            }
        } else if (IsLowSurrogate(c)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}
} // namespace

UString AsciiToUTF16(const char* ascii)
{
    UString out;
    if (ascii == nullptr)
        return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(ascii); *p != 0; ++p)
        out.push_back(*p < 0x80 ? char16_t(*p) : char16_t(kReplacement));
    return out;
}

ByteString UTF16to8(const UString& text)
{
    return Utf16To8(text.data(), text.size());
}

ByteString UTF16to8(const char16_t* text)
{
    if (text == nullptr)
        return {};
    return Utf16To8(text, std::char_traits<char16_t>::length(text));
}

UString UTF8to16(const ByteString& text)
{
    UString out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        // Lead byte: how many continuation bytes, and the smallest value the sequence may encode.
        size_t extra;
        char32_t cp;
        char32_t minimum;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1; cp = b & 0x1F; minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2; cp = b & 0x0F; minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3; cp = b & 0x07; minimum = 0x10000;
        } else {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra && i + j < n; ++j) {
            const unsigned char c = static_cast<unsigned char>(text[i + j]);
            if ((c & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (j <= extra) {
            // Truncated sequence: one replacement for the lead and the continuations seen.
            AppendUtf16(out, kReplacement);
            i += j;
            continue;
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            AppendUtf16(out, kReplacement);
        else
            AppendUtf16(out, cp);
        i += j;
    }
    return out;
}
} // namespace tsacore::utility
