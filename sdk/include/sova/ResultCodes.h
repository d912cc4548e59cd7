// SPDX-License-Identifier: MIT
// Result codes returned by every selector. -5 and -7 are not used.
#pragma once

#include <cstdint>

namespace sova::sdk {
enum Result : int32_t {
    kResultOK = 0,
    kResultFailed = -1,            // start-up, open for read/write, close writer
    kResultUnknownSelector = -2,
    kResultNotSupported = -3,      // template defaults
    kResultUnusableFile = -4,      // open for read
    kResultMissingArgument = -6,
    kResultFormatAdjusted = -8,    // save format adjusted without the host's permission
    kResultDecodeFailed = -9,      // decoding failed, or end of stream
    kResultEncodeFailed = -10,     // encoding or writing failed
};

// A short English text for a result code, for hosts that report codes to people.
inline const char* ResultText(int32_t code) {
    switch (code) {
    case kResultOK: return "success";
    case kResultFailed: return "failure";
    case kResultUnknownSelector: return "unknown selector";
    case kResultNotSupported: return "not supported";
    case kResultUnusableFile: return "unsupported or unusable file";
    case kResultMissingArgument: return "missing argument";
    case kResultFormatAdjusted: return "save format adjusted without permission";
    case kResultDecodeFailed: return "decoding failed or end of stream";
    case kResultEncodeFailed: return "encoding or writing failed";
    default: return "unknown result";
    }
}
} // namespace sova::sdk
