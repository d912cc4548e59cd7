// SPDX-License-Identifier: MIT
// The plug-in's settings dialog as encode and convert use it (--dialog).
#pragma once

#include <string>

#include "cmd_encode.h"
#include "module/HostObjects.h"

namespace sovahost {
class HostModule;

// Throws std::runtime_error when there is no display to show the dialog on.
void RequireDisplay();
// Shows the dialog over format and leaves the confirmed settings in it; throws
// std::runtime_error when cancelled or when the dialog fails.
void EditInDialog(const HostModule& plugIn, AudioFormat& format);
// Starts a module of its own, shows the dialog for the input's format and returns the settings
// text confirmed (convert asks once for all files).
std::string SettingsFromDialog(const HostOptions& hostOptions, const EncodeOptions& options, const std::string& input);
} // namespace sovahost
