// SPDX-License-Identifier: MIT
#include <tsacore/utility/Numbers.h>

#include <limits>

#include <tsacore/config/Error.h>
#include <tsacore/utility/StringConversion.h>

namespace tsacore::utility {
UString NumberToString(int32_t value)
{
    return AsciiToUTF16(std::to_string(value).c_str());
}

bool StringToNumber(int32_t& out, const UString& text, int32_t flags)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t value = 0;
    const size_t firstDigit = i;
    bool fits = true;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            fits = false, value = int64_t(std::numeric_limits<int32_t>::max()) + 2; // keep it bounded
    }
    if (negative)
        value = -value;
    const bool isNumber = i > firstDigit && i == n;
    if (isNumber && fits && value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
        out = static_cast<int32_t>(value);
        return true;
    }
    if (flags == kStringToNumberThrow) {
        config::ThrowError(1, "$$$/tsacore/utility/Error/NotANumber=\"@0\" is not a 32-bit decimal number.", 0, 0,
                           false, {text}, {}, {}, {});
    }
    return false;
}
} // namespace tsacore::utility
