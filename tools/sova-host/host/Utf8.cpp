// SPDX-License-Identifier: MIT
#include "host/Utf8.h"

#include <sova/Utf16.h>

namespace sovahost {
size_t Utf8SequenceAt(const std::string& text, size_t at) { return sova::sdk::Utf8SequenceLength(text, at); }

bool IsUtf8(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceAt(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}
} // namespace sovahost
