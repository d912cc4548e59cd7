// SPDX-License-Identifier: MIT
// Conversions between the framework's string kinds. Invalid UTF-16 (a lone surrogate)
// becomes U+FFFD; invalid UTF-8 bytes likewise.
#pragma once

#include <tsacore/String.h>

namespace tsacore::utility {
UString AsciiToUTF16(const char* ascii);           // zero-terminated ASCII; null gives ""
ByteString UTF16to8(const UString& text);
ByteString UTF16to8(const char16_t* text);         // zero-terminated; null gives ""
UString UTF8to16(const ByteString& text);
} // namespace tsacore::utility
