// SPDX-License-Identifier: MIT
// The toolkit's nodes and controls over Qt widgets.
#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include <tsaui/controls/UI_Button.h>
#include <tsaui/controls/UI_Checkbox.h>
#include <tsaui/controls/UI_HotTextNumber.h>
#include <tsaui/controls/UI_Popup.h>
#include <tsaui/controls/UI_SectionView.h>
#include <tsaui/controls/UI_StaticText.h>

#include "QtSupport.h"

namespace tsaui::ui {
using qt::ToQString;

UI_NodeMessage::~UI_NodeMessage() = default;

UI_Node::UI_Node() = default;
UI_Node::~UI_Node() = default;

UI_Rect UI_Node::GetBounds() const { return bounds_; }

void UI_Node::SetBounds(const UI_Rect& bounds) {
    bounds_ = bounds;
    if (widget_)
        widget_->setGeometry(static_cast<int>(std::lround(bounds.left)), static_cast<int>(std::lround(bounds.top)),
                             static_cast<int>(std::lround(bounds.width)),
                             static_cast<int>(std::lround(GetLayoutHeight())));
}

float UI_Node::GetWidth() const { return GetBounds().width; }
float UI_Node::GetHeight() const { return GetBounds().height; }

void UI_Node::Resize(float width, float height) {
    UI_Rect bounds = GetBounds();
    bounds.width = width;
    bounds.height = height;
    SetBounds(bounds);
}

bool UI_Node::IsVisible() const { return visible_; }

void UI_Node::SetVisible(bool visible) {
    visible_ = visible;
    if (widget_)
        widget_->setVisible(visible);
}

void UI_Node::SetToolTip(const tsacore::UString& text) {
    toolTip_ = text;
    if (widget_)
        widget_->setToolTip(ToQString(text));
}

void UI_Node::AddChild(const std::shared_ptr<UI_Node>& child) {
    child->parent_ = this;
    children_.push_back(child);
}

std::shared_ptr<UI_Node> UI_Node::FindNodeForID(const std::string& id) {
    if (id.empty())
        return {};
    if (id_ == id)
        return shared_from_this();
    for (const auto& child : children_)
        if (auto found = child->FindNodeForID(id))
            return found;
    return {};
}

void UI_Node::AttachWidget(QWidget* widget) {
    widget_ = widget;
    SetBounds(bounds_);
    if (!toolTip_.empty())
        widget_->setToolTip(ToQString(toolTip_));
    widget_->setVisible(visible_);
}

void UI_Node::DetachWidgets() {
    widget_ = nullptr;
    for (const auto& child : children_)
        child->DetachWidgets();
}

UI_SubView::UI_SubView() = default;
UI_SubView::~UI_SubView() = default;
UI_LayoutView::~UI_LayoutView() = default;

void UI_SubView::SetAutoLayout(const UI_AutoLayout& layout) { layout_ = layout; }

void UI_SubView::KeepArchivedLayout() {
    // The archive holds the laid-out positions: remember the gaps between neighbours.
    gaps_.clear();
    float previousBottom = 0.0f;
    for (const auto& child : GetChildren()) {
        const UI_Rect b = child->GetBounds();
        gaps_.push_back(b.top - previousBottom);
        previousBottom = b.top + b.height;
    }
    gapsKnown_ = true;
}

void UI_SubView::LayoutChildren() {
    const auto& children = GetChildren();
    if (!layout_.autoLayout || layout_.horizontal || !gapsKnown_ || gaps_.size() != children.size() || layingOut_)
        return;
    layingOut_ = true;
    float y = 0.0f;
    for (size_t i = 0; i < children.size(); ++i) {
        UI_Rect b = children[i]->GetBounds();
        b.top = y + gaps_[i];
        children[i]->SetBounds(b);
        y = b.top + (children[i]->IsVisible() ? children[i]->GetLayoutHeight() : 0.0f);
    }
    layingOut_ = false;
}
} // namespace tsaui::ui

namespace tsaui::controls {
using qt::FromQString;
using qt::ToQString;
using tsaui::ui::UI_Rect;

UI_ControlChangedMessage::~UI_ControlChangedMessage() = default;

UI_ControlView::UI_ControlView() = default;
UI_ControlView::~UI_ControlView() = default;

void UI_ControlView::NotifyWhenChanged(const tsaui::ui::UI_NodeCallbackRef& callback) {
    if (callback)
        callbacks_.push_back(callback);
}

void UI_ControlView::SetDisabled(bool disabled) {
    disabled_ = disabled;
    if (widget_)
        widget_->setEnabled(!disabled);
}

void UI_ControlView::SetFontSize(float size) {
    fontSize_ = size;
    if (widget_) {
        QFont font = widget_->font();
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(size)))); // one point is one pixel here
        widget_->setFont(font);
    }
}

void UI_ControlView::SendChanged() {
    const UI_ControlChangedMessage message(*this);
    const auto callbacks = callbacks_; // a callback may register another
    for (const auto& callback : callbacks)
        if (*callback)
            (*callback)(message);
}

// Static text ------------------------------------------------------------------------------
namespace {
constexpr int kSmallestPixelSize = 9;
}

UI_StaticText::UI_StaticText() = default;
UI_StaticText::~UI_StaticText() = default;

void UI_StaticText::SetValue(const tsacore::UString& text) {
    text_ = text;
    Show();
}

void UI_StaticText::SetAlignment(int32_t alignment) {
    alignment_ = alignment;
    Show();
}

void UI_StaticText::SetBounds(const UI_Rect& bounds) {
    UI_ControlView::SetBounds(bounds);
    Show();
}

void UI_StaticText::Show() {
    auto* label = qobject_cast<QLabel*>(widget_);
    if (!label)
        return;
    const Qt::Alignment horizontal = alignment_ == kAlignRight ? Qt::AlignRight
                                   : alignment_ == kAlignCenter ? Qt::AlignHCenter : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignVCenter);
    const QString full = ToQString(text_);
    // Truncation: a text that does not fit first gets a smaller face (down to 9 pixels), then
    // loses its end to an ellipsis.
    QFont font = label->font();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(GetFontSize()))));
    const int room = label->contentsRect().width() - 1;
    while (font.pixelSize() > kSmallestPixelSize && QFontMetrics(font).horizontalAdvance(full) > room)
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
    const QString shown = QFontMetrics(font).elidedText(full, Qt::ElideRight, room + 1);
    label->setText(shown);
    // A cut text shows in full as the tool tip unless the node has its own.
    if (GetToolTip().empty())
        label->setToolTip(shown == full ? QString() : full);
}

tsacore::UString UI_StaticText::GetShownText() const {
    auto* label = qobject_cast<QLabel*>(widget_);
    return label ? FromQString(label->text()) : text_;
}

// Pop-up -----------------------------------------------------------------------------------
UI_Popup::UI_Popup() = default;
UI_Popup::~UI_Popup() = default;

void UI_Popup::AddItem(const tsacore::UString& text) {
    auto* combo = qobject_cast<QComboBox*>(widget_);
    if (!combo)
        return;
    const QSignalBlocker blocker(combo);
    combo->addItem(ToQString(text));
    combo->setCurrentIndex(value_ >= 0 && value_ < combo->count() ? value_ : -1);
}

bool UI_Popup::RemoveItem(int32_t position) {
    auto* combo = qobject_cast<QComboBox*>(widget_);
    if (!combo || position < 0 || position >= combo->count())
        return false;
    const QSignalBlocker blocker(combo);
    combo->removeItem(position);
    if (value_ == position)
        value_ = -1;
    else if (value_ > position)
        --value_;
    combo->setCurrentIndex(value_ >= 0 && value_ < combo->count() ? value_ : -1);
    return true;
}

int32_t UI_Popup::GetItemCount() const {
    auto* combo = qobject_cast<QComboBox*>(widget_);
    return combo ? combo->count() : 0;
}

tsacore::UString UI_Popup::GetItemText(int32_t position) const {
    auto* combo = qobject_cast<QComboBox*>(widget_);
    return combo && position >= 0 && position < combo->count() ? FromQString(combo->itemText(position))
                                                               : tsacore::UString();
}

void UI_Popup::SetValue(int32_t position) {
    value_ = position;
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(position >= 0 && position < combo->count() ? position : -1);
    }
}

int32_t UI_Popup::GetValue() const {
    auto* combo = qobject_cast<QComboBox*>(widget_);
    if (combo && combo->currentIndex() >= 0)
        return combo->currentIndex();
    return value_; // nothing shown: the position last asked for
}

void UI_Popup::SetItemCheckStyle(bool on) { checkStyle_ = on; }

// Check box --------------------------------------------------------------------------------
UI_Checkbox::UI_Checkbox() = default;
UI_Checkbox::~UI_Checkbox() = default;

void UI_Checkbox::SetChecked(bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(widget_))
        box->setChecked(checked); // 'clicked' is the user's signal; this sends nothing
}

bool UI_Checkbox::IsChecked() const {
    auto* box = qobject_cast<QCheckBox*>(widget_);
    return box && box->isChecked();
}

// Buttons ----------------------------------------------------------------------------------
UI_Button::UI_Button() = default;
UI_Button::~UI_Button() = default;
UI_TextButton::UI_TextButton() = default;
UI_TextButton::~UI_TextButton() = default;

void UI_TextButton::SetText(const tsacore::UString& text) {
    text_ = text;
    if (auto* button = qobject_cast<QPushButton*>(widget_))
        button->setText(ToQString(text));
}

// Number field -----------------------------------------------------------------------------
UI_HotTextNumber::UI_HotTextNumber() = default;
UI_HotTextNumber::~UI_HotTextNumber() = default;

void UI_HotTextNumber::Configure(const Settings& settings) {
    settings_ = settings;
    if (auto* box = qobject_cast<QDoubleSpinBox*>(widget_)) {
        const QSignalBlocker blocker(box);
        box->setDecimals(settings.decimalPlaces);
        box->setRange(settings.minValue, settings.maxValue);
        box->setSingleStep(settings.increment);
        box->setSuffix(settings.textLabel.empty() ? QString() : QStringLiteral(" ") + ToQString(settings.textLabel));
    }
}

void UI_HotTextNumber::SetValue(double value) {
    if (auto* box = qobject_cast<QDoubleSpinBox*>(widget_)) {
        const QSignalBlocker blocker(box);
        box->setValue(value);
    }
}

double UI_HotTextNumber::GetValue() const {
    auto* box = qobject_cast<QDoubleSpinBox*>(widget_);
    return box ? box->value() : 0.0;
}

void UI_HotTextNumber::SetDisabled(bool disabled) { UI_ControlView::SetDisabled(disabled); }

// Section view -----------------------------------------------------------------------------
UI_SectionView::UI_SectionView() = default;
UI_SectionView::~UI_SectionView() = default;

void UI_SectionView::BuildSection(QWidget* widget) {
    auto* header = new QToolButton(widget);
    header->setAutoRaise(true);
    header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header->setFocusPolicy(Qt::NoFocus);
    QObject::connect(header, &QToolButton::clicked, [this] { UserToggled(); });
    header_ = header;
    content_ = new QWidget(widget);
    AttachWidget(widget);
    Arrange();
}

void UI_SectionView::SetOpened(bool opened) {
    if (opened == opened_)
        return;
    opened_ = opened;
    Arrange();
    const auto callbacks = callbacks_;
    for (const auto& callback : callbacks)
        if (*callback)
            (*callback)(*this);
}

void UI_SectionView::AddOpenedStateChangedCallback(const UI_SectionOpenedCallbackRef& callback) {
    if (callback)
        callbacks_.push_back(callback);
}

void UI_SectionView::SetDisclosureTriangleWantsFocus(bool wantsFocus) {
    if (header_)
        header_->setFocusPolicy(wantsFocus ? Qt::StrongFocus : Qt::NoFocus);
}

void UI_SectionView::SetHeaderHeight(float height) {
    headerHeight_ = height;
    Arrange();
}

void UI_SectionView::SetLabel(const tsacore::UString& label) {
    label_ = label;
    Arrange();
}

float UI_SectionView::GetLayoutHeight() const { return opened_ ? GetBounds().height : headerHeight_; }

void UI_SectionView::SetBounds(const UI_Rect& bounds) {
    UI_SubView::SetBounds(bounds);
    Arrange();
}

void UI_SectionView::UserToggled() {
    if (userOpenable_)
        SetOpened(!opened_);
}

void UI_SectionView::Arrange() {
    if (!widget_ || !header_ || !content_)
        return;
    const UI_Rect b = GetBounds();
    const int width = static_cast<int>(std::lround(b.width));
    const int header = static_cast<int>(std::lround(headerHeight_));
    auto* button = static_cast<QToolButton*>(header_);
    button->setArrowType(opened_ ? Qt::DownArrow : Qt::RightArrow);
    button->setText(ToQString(label_));
    button->setGeometry(static_cast<int>(std::lround(labelOffsetX_)), 0, width, header);
    content_->setGeometry(0, header, width, static_cast<int>(std::lround(b.height)) - header);
    content_->setVisible(opened_);
    widget_->resize(width, static_cast<int>(std::lround(GetLayoutHeight())));
    if (auto* parent = GetParent())
        parent->LayoutChildren();
}
} // namespace tsaui::controls
