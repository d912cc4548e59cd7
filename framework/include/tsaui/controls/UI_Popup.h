// SPDX-License-Identifier: MIT
// A pop-up menu of text items. Positions count from 0 in insertion order.
#pragma once

#include <tsaui/controls/UI_ControlView.h>

namespace tsaui::controls {
class TSAUI_API UI_Popup : public UI_ControlView {
public:
    UI_Popup();
    ~UI_Popup() override;
    void AddItem(const tsacore::UString& text);
    // False when there is no item at the position.
    bool RemoveItem(int32_t position);
    int32_t GetItemCount() const;
    tsacore::UString GetItemText(int32_t position) const;
    // A position outside the items shows no item; GetValue then reports that position.
    void SetValue(int32_t position);
    int32_t GetValue() const;
    // A check mark beside the selected item in the open list.
    void SetItemCheckStyle(bool on);
    bool GetItemCheckStyle() const { return checkStyle_; }
    // How the open list is placed: 0 below the pop-up, 3 with the selected item over it.
    void SetPopupType(int32_t type) { popupType_ = type; }
    int32_t GetPopupType() const { return popupType_; }
private:
    bool checkStyle_ = false;
    int32_t popupType_ = 0;
    int32_t value_ = -1;
};
} // namespace tsaui::controls
