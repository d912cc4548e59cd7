// SPDX-License-Identifier: MIT
// Push buttons. A dialog's OK and Cancel buttons end its modal run.
#pragma once

#include <tsaui/controls/UI_ControlView.h>

namespace tsaui::controls {
class TSAUI_API UI_Button : public UI_ControlView {
public:
    UI_Button();
    ~UI_Button() override;
};

class TSAUI_API UI_TextButton : public UI_Button {
public:
    UI_TextButton();
    ~UI_TextButton() override;
    void SetText(const tsacore::UString& text);
    const tsacore::UString& GetText() const { return text_; }
private:
    tsacore::UString text_;
};
} // namespace tsaui::controls
