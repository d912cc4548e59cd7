// SPDX-License-Identifier: MIT
#include <tsacore/config/Error.h>

#include <tsacore/config/Localizer.h>
#include <tsacore/utility/ReplaceInString.h>
#include <tsacore/utility/StringConversion.h>

namespace tsacore::config {
Error::Error(int32_t level, const char* literal, UString message, int32_t number1, int32_t number2, bool flag)
    : std::runtime_error(utility::UTF16to8(message)),
      level_(level),
      literal_(literal != nullptr ? literal : ""),
      message_(std::move(message)),
      number1_(number1),
      number2_(number2),
      flag_(flag)
{
}

void ThrowError(int32_t level, const char* literal, int32_t number1, int32_t number2, bool flag,
                const ReplacementValue& r0, const ReplacementValue& r1,
                const ReplacementValue& r2, const ReplacementValue& r3)
{
    // Only "@0".."@3" have values here; "@4".."@9" stay as they are.
    const UString message = utility::ReplaceInString(Localize(literal), r0.text, r1.text, r2.text, r3.text,
                                                     u"@4", u"@5", u"@6", u"@7", u"@8", u"@9");
    throw Error(level, literal, message, number1, number2, flag);
}
} // namespace tsacore::config
