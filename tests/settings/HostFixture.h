// SPDX-License-Identifier: MIT
// A host that drives the built module through SovaInterface, with the reference host's objects.
#pragma once

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "module/HostModule.h"
#include "module/HostObjects.h"

namespace settingstest {
inline const std::u16string kDefaultLine =
    u"ATH:0:0;BitsPerSecond:0:192;CRC:0:0;ChannelMode:0:-1;CompressionType:0:0;Copy:0:0;EmphasisType:0:0;"
    u"Energy:0:0;MPEGVersion:0:1;Original:0:0;PAMType:0:1;PaddingType:0:0;ShowAdvanced:0:0;";

// The settings text of a default record with one entry changed.
inline std::u16string DefaultLineWith(const std::u16string& from, const std::u16string& to) {
    std::u16string line = kDefaultLine;
    const size_t at = line.find(from);
    EXPECT_NE(at, std::u16string::npos);
    if (at != std::u16string::npos) line.replace(at, from.size(), to);
    return line;
}

class ModuleHost : public ::testing::Test {
protected:
    sovahost::HostModule module{SOVA_MODULE_PATH};
};
} // namespace settingstest
