// SPDX-License-Identifier: MIT
// Fills "@0" to "@9" in a text with up to ten replacement texts, in one left-to-right pass
// (a replacement is never scanned again). "@" followed by anything else stays as it is.
#pragma once

#include <tsacore/String.h>

namespace tsacore::utility {
UString ReplaceInString(const UString& text,
                        const UString& r0 = {}, const UString& r1 = {}, const UString& r2 = {},
                        const UString& r3 = {}, const UString& r4 = {}, const UString& r5 = {},
                        const UString& r6 = {}, const UString& r7 = {}, const UString& r8 = {},
                        const UString& r9 = {});
} // namespace tsacore::utility
