// SPDX-License-Identifier: MIT
// UTF-8 checks for what sova-host passes on: paths to the module, text into JSON.
#pragma once

#include <cstddef>
#include <string>

namespace sovahost {
// The length of the well-formed UTF-8 sequence that starts at text[at] (1 to 4), or 0 when the
// bytes there are not one (a stray byte, a truncated, overlong or surrogate sequence).
size_t Utf8SequenceAt(const std::string& text, size_t at);
bool IsUtf8(const std::string& text);
} // namespace sovahost
