// SPDX-License-Identifier: MIT
// The protocol's texts are zero-terminated UTF-16; a host's paths and names usually arrive in
// UTF-8 (command line, file system, terminal). These helpers convert both ways and refuse what is
// not well-formed, so a host never hands the module a path that names another file than the one
// the user gave. Header only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sova::sdk {
// The length (1 to 4) of the well-formed UTF-8 sequence that starts at text[at], or 0 when the
// bytes there are not one: a stray continuation byte, a truncated or overlong sequence, a
// surrogate, or a code point above U+10FFFF.
inline size_t Utf8SequenceLength(std::string_view text, size_t at) {
    if (at >= text.size()) return 0;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    if (extra < 0 || at + static_cast<size_t>(extra) >= text.size()) return 0;
    uint32_t point = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
        point = (point << 6) | (byte(at + k) & 0x3F);
    }
    static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (point < kLeast[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
    return static_cast<size_t>(extra) + 1;
}

// text in UTF-16 (a code point above U+FFFF as a surrogate pair), or no value when text is not
// well-formed UTF-8 or holds a zero byte (the module reads a text up to its first zero, so it
// would see a shorter path). Refuse such a path; do not repair it.
inline std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceLength(text, at);
        if (length == 0 || text[at] == '\0') return std::nullopt;
        const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
        uint32_t point = length == 1 ? byte(0) : byte(0) & (0x3Fu >> (length - 1));
        for (size_t k = 1; k < length; ++k) point = (point << 6) | (byte(k) & 0x3F);
        if (point >= 0x10000) {
            result += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
            result += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            result += static_cast<char16_t>(point);
        }
        at += length;
    }
    return result;
}

// A zero-terminated UTF-16 text from the module (a description, a message, a settings text) in
// UTF-8, for printing or storing. An unpaired surrogate becomes U+FFFD; null gives "".
inline std::string Utf16ToUtf8(const char16_t* text) {
    std::string result;
    for (; text != nullptr && *text != 0; ++text) {
        uint32_t point = *text;
        if (point >= 0xD800 && point <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF)
            point = 0x10000 + ((point - 0xD800) << 10) + (*++text - 0xDC00);
        else if (point >= 0xD800 && point <= 0xDFFF)
            point = 0xFFFD;
        if (point < 0x80) {
            result += static_cast<char>(point);
        } else if (point < 0x800) {
            result += static_cast<char>(0xC0 | (point >> 6));
            result += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            result += static_cast<char>(0xE0 | (point >> 12));
            result += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (point >> 18));
            result += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return result;
}
} // namespace sova::sdk
