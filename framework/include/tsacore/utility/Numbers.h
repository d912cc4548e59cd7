// SPDX-License-Identifier: MIT
// Decimal text for signed 32-bit numbers.
#pragma once

#include <cstdint>

#include <tsacore/String.h>

namespace tsacore::utility {
UString NumberToString(int32_t value);

enum StringToNumberFlags : int32_t {
    kStringToNumberQuiet = 0,
    kStringToNumberThrow = 1, // a text that is not a number raises tsacore::config::Error
};
// Parses optional blanks, an optional sign and decimal digits, and nothing after them.
// Returns false (out unchanged) when the text is not a number or does not fit in 32 bits,
// unless flags is kStringToNumberThrow, which raises instead.
bool StringToNumber(int32_t& out, const UString& text, int32_t flags);
} // namespace tsacore::utility
