// SPDX-License-Identifier: MIT
// A one-line text. Texts too long for the node are cut at the end with an ellipsis.
#pragma once

#include <tsaui/controls/UI_ControlView.h>

namespace tsaui::controls {
class TSAUI_API UI_StaticText : public UI_ControlView {
public:
    enum Alignment : int32_t { kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2 };
    UI_StaticText();
    ~UI_StaticText() override;
    void SetValue(const tsacore::UString& text);
    const tsacore::UString& GetValue() const { return text_; }
    void SetAlignment(int32_t alignment);
    void SetBounds(const tsaui::ui::UI_Rect& bounds) override;
    tsacore::UString GetShownText() const; // what the widget shows now
private:
    void Show();
    tsacore::UString text_;
    int32_t alignment_ = kAlignLeft;
};
} // namespace tsaui::controls
