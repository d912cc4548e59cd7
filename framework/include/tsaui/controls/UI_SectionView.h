// SPDX-License-Identifier: MIT
// A collapsible section: a header with a disclosure triangle and a label, and content below
// it. Closed, the section shows only its header; its height stays its full height.
#pragma once

#include <tsaui/ui/UI_Node.h>

namespace tsaui::controls {
class UI_SectionView;
using UI_SectionOpenedCallback = std::function<void(UI_SectionView&)>;
using UI_SectionOpenedCallbackRef = std::shared_ptr<UI_SectionOpenedCallback>;

class TSAUI_API UI_SectionView : public tsaui::ui::UI_SubView {
public:
    UI_SectionView();
    ~UI_SectionView() override;
    // Runs the callbacks whenever the open state actually changes, from code or by the user.
    void SetOpened(bool opened);
    bool GetOpened() const { return opened_; }
    void AddOpenedStateChangedCallback(const UI_SectionOpenedCallbackRef& callback);
    void SetDisclosureTriangleWantsFocus(bool wantsFocus);
    float GetHeaderHeight() const { return headerHeight_; }
    void SetHeaderHeight(float height);
    void SetLabel(const tsacore::UString& label);
    const tsacore::UString& GetLabel() const { return label_; }
    void SetUserOpenable(bool openable) { userOpenable_ = openable; }
    bool GetUserOpenable() const { return userOpenable_; }
    void SetLabelOffsetX(float offset) { labelOffsetX_ = offset; }

    QWidget* GetContentWidget() const override { return content_; }
    QWidget* GetDisclosureWidget() const { return header_; }
    float GetLayoutHeight() const override;
    void SetBounds(const tsaui::ui::UI_Rect& bounds) override;
    // Toolkit: builds the header and content widgets inside widget.
    void BuildSection(QWidget* widget);
    void UserToggled(); // the disclosure triangle was clicked
private:
    void Arrange();
    bool opened_ = false;
    bool userOpenable_ = true;
    float headerHeight_ = 18.0f;
    float labelOffsetX_ = 0.0f;
    tsacore::UString label_;
    QWidget* header_ = nullptr;
    QWidget* content_ = nullptr;
    std::vector<UI_SectionOpenedCallbackRef> callbacks_;
};
} // namespace tsaui::controls
