// SPDX-License-Identifier: MIT
// Values in a settings text that the module would take but could not write a file with (a
// channel mode 7, a bitrate that is no Layer II bitrate, an ATH that is not a number), checked
// before the module sees the text.
#pragma once

#include <string>
#include <vector>

#include "host/SettingsText.h"

namespace sovahost {
// One sentence per bad value, empty when every known key holds a value that can be written.
std::vector<std::string> SettingsValueProblems(const SettingsReading& reading);
} // namespace sovahost
