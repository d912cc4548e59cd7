// SPDX-License-Identifier: MIT
// What the dialog code takes from the automation side.
#pragma once

#include <string>

#include <tsaui/ui/UI_Automation.h>

namespace tsaui::ui::automation {
// The archive served in place of the module's resource, or null.
const std::string* FindArchiveOverride(const std::string& id);
ModalRunObserver CurrentModalRunObserver();
} // namespace tsaui::ui::automation
