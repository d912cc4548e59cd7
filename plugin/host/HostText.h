// SPDX-License-Identifier: MIT
// Texts the host hands over (paths, settings texts): copied at once, a null text read as empty.
#pragma once

#include <tsacore/String.h>

namespace sova {
inline tsacore::UString HostText(const char16_t* text) { return text ? tsacore::UString(text) : tsacore::UString(); }
} // namespace sova
