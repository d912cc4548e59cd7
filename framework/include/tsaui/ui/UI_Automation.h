// SPDX-License-Identifier: MIT
// Driving dialogs without a person, for tests and for hosts that take pictures: an observer
// called once each modal dialog is up and running, and user actions that send real input
// events (mouse clicks, key presses) to a node's widget. Works on Qt's offscreen platform.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <tsaui/ui/UI_Dialog.h>

namespace tsaui::ui::automation {
// Called inside the modal run, once the dialog is shown. The observer acts as the user; when
// it returns and the dialog is still open, the dialog is closed with Cancel. Without an
// observer, a dialog on the offscreen platform (nobody could answer it) is cancelled at once.
using ModalRunObserver = std::function<void(UI_Dialog&)>;
TSAUI_API void SetModalRunObserver(ModalRunObserver observer); // an empty one removes it

// Serves an archive from memory instead of the module's resource (id compared without case).
TSAUI_API void SetArchiveOverride(const std::string& id, std::string xml);
TSAUI_API void ClearArchiveOverrides();

// User actions. Each returns false when the node has no widget or cannot take the action.
TSAUI_API bool Click(UI_Node& node); // buttons, check boxes, a section's disclosure triangle
TSAUI_API bool ChooseItem(UI_Node& popup, int32_t position); // opens the list, picks the item
TSAUI_API bool TypeValue(UI_Node& field, const tsacore::UString& text); // replaces the text, presses Return
// Arrow-key steps on a number field: steps > 0 up; modifier 0 none, 1 Shift, 2 Ctrl.
TSAUI_API bool StepValue(UI_Node& field, int32_t steps, int32_t modifier);
TSAUI_API bool PressEscape(UI_Dialog& dialog);

// What the user sees.
TSAUI_API tsacore::UString ShownText(UI_Node& node);   // label, pop-up selection, field, button
TSAUI_API std::vector<tsacore::UString> ShownItems(UI_Node& popup);
TSAUI_API bool ShownEnabled(UI_Node& node);
TSAUI_API bool ShownVisible(UI_Node& node);  // the widget and all its parents are shown
TSAUI_API UI_Rect RectInDialog(UI_Node& node); // the widget's rectangle in the dialog window
TSAUI_API UI_Rect DialogWindowRect(UI_Dialog& dialog); // size of the dialog window

// Saves a PNG picture of the dialog as shown.
TSAUI_API bool SavePicture(UI_Dialog& dialog, const std::string& path);
} // namespace tsaui::ui::automation
