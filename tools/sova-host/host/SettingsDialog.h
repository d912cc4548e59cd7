// SPDX-License-Identifier: MIT
// Showing the plug-in's settings dialog (selector 15) over a host window, as an audio editor
// does before saving. The module must be registered already (selector 0).
#pragma once

#include <string>

#include "module/HostModule.h"
#include "module/HostObjects.h"

namespace sovahost {
// What RunSettingsDialog's result means.
enum SettingsDialogOutcome : int { kDialogConfirmed = 0, kDialogCancelled = 1, kDialogFailed = 2 };

// Opens a host window and, over it, the module's settings dialog for format. On OK the
// module has rewritten format.settingsText. Returns a SettingsDialogOutcome; a failure is
// described in *error when given.
int RunSettingsDialog(const HostModule& module, AudioFormat& format, std::string* error = nullptr);
} // namespace sovahost
