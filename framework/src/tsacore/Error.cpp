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
    const UString message = utility::ReplaceInString(Localize(literal), r0.text, r1.text, r2.text, r3.text);
    throw Error(level, literal, message, number1, number2, flag);
}
} // namespace tsacore::config
