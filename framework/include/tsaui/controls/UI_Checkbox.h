// SPDX-License-Identifier: MIT
// A check box.
#pragma once

#include <tsaui/controls/UI_ControlView.h>

namespace tsaui::controls {
class TSAUI_API UI_Checkbox : public UI_ControlView {
public:
    UI_Checkbox();
    ~UI_Checkbox() override;
    void SetChecked(bool checked);
    bool IsChecked() const;
};
} // namespace tsaui::controls
