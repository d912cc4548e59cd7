// SPDX-License-Identifier: MIT
// The framework's error, raised by ThrowError and by StringToNumber with flag 1.
#pragma once

#include <cstdint>
#include <stdexcept>

#include <tsacore/String.h>

namespace tsacore::config {
struct ReplacementValue {
    UString text; // fills "@n" of the message; empty by default
};

class Error : public std::runtime_error {
public:
    Error(int32_t level, const char* literal, UString message, int32_t number1, int32_t number2, bool flag);
    int32_t Level() const { return level_; }
    const ByteString& Literal() const { return literal_; } // the literal as passed, key and default
    const UString& Message() const { return message_; }  // localised, replacements filled
    int32_t Number1() const { return number1_; }
    int32_t Number2() const { return number2_; }
    bool Flag() const { return flag_; }
private:
    int32_t level_;
    ByteString literal_;
    UString message_;
    int32_t number1_, number2_;
    bool flag_;
};

// Localises literal, fills "@0".."@3" from the replacement values and raises Error.
[[noreturn]] void ThrowError(int32_t level, const char* literal, int32_t number1, int32_t number2, bool flag,
                             const ReplacementValue& r0, const ReplacementValue& r1,
                             const ReplacementValue& r2, const ReplacementValue& r3);
} // namespace tsacore::config
