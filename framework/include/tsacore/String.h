// SPDX-License-Identifier: MIT
// The framework's strings: UString holds UTF-16 code units (every text and path),
// ByteString holds 8-bit text (UTF-8 or ASCII).
#pragma once

#include <string>

namespace tsacore {
using UString = std::u16string;
using ByteString = std::string;
} // namespace tsacore
