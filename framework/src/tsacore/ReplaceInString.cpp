// SPDX-License-Identifier: MIT
#include <tsacore/utility/ReplaceInString.h>

namespace tsacore::utility {
UString ReplaceInString(const UString& text, const UString& r0, const UString& r1, const UString& r2,
                        const UString& r3, const UString& r4, const UString& r5, const UString& r6,
                        const UString& r7, const UString& r8, const UString& r9)
{
    const UString* replacements[10] = {&r0, &r1, &r2, &r3, &r4, &r5, &r6, &r7, &r8, &r9};
    UString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'@' && i + 1 < text.size() && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
            out += *replacements[text[i + 1] - u'0'];
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}
} // namespace tsacore::utility
