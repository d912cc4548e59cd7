// SPDX-License-Identifier: MIT
// Controls: nodes the user edits. A control reports the user's edits (never values set from
// code) to the callbacks registered with NotifyWhenChanged.
#pragma once

#include <tsaui/ui/UI_Node.h>

namespace tsaui::controls {
class TSAUI_API UI_ControlChangedMessage : public tsaui::ui::UI_NodeMessage {
public:
    using UI_NodeMessage::UI_NodeMessage;
    ~UI_ControlChangedMessage() override;
};

class TSAUI_API UI_ControlView : public tsaui::ui::UI_Node {
public:
    UI_ControlView();
    ~UI_ControlView() override;
    void NotifyWhenChanged(const tsaui::ui::UI_NodeCallbackRef& callback);
    virtual void SetDisabled(bool disabled);
    virtual bool IsDisabled() const { return disabled_; }
    float GetFontSize() const { return fontSize_; }
    void SetFontSize(float size);
    // Toolkit: tells the registered callbacks about a user edit.
    void SendChanged();
private:
    std::vector<tsaui::ui::UI_NodeCallbackRef> callbacks_;
    bool disabled_ = false;
    float fontSize_ = 11.0f;
};
} // namespace tsaui::controls
