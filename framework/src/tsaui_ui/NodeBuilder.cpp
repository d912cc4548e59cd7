// SPDX-License-Identifier: MIT
#include "NodeBuilder.h"

#include <functional>
#include <map>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <tsaui/controls/UI_Button.h>
#include <tsaui/controls/UI_Checkbox.h>
#include <tsaui/controls/UI_HotTextNumber.h>
#include <tsaui/controls/UI_Popup.h>
#include <tsaui/controls/UI_SectionView.h>
#include <tsaui/controls/UI_StaticText.h>

#include "QtSupport.h"
#include "Widgets.h"

namespace uit::controls {
// A labelled frame around a group of nodes.
class UI_OutlineBoxWithLabel : public tsaui::ui::UI_SubView {
public:
    ~UI_OutlineBoxWithLabel() override = default;
};
} // namespace uit::controls

namespace tsaui::ui {
using namespace archive;
using namespace tsaui::controls;
using qt::ToQString;

namespace {
void SetUpControl(UI_ControlView& control, const PropList& props) {
    control.SetFontSize(static_cast<float>(GetNumber(props, "fontSize", 11.0)));
    control.SetDisabled(!GetBool(props, "enabled", true));
}

void MakeSection(UI_SectionView& section, const PropList& props, QWidget* parent) {
    section.SetLabel(LocalizeArchived(GetText(props, "label")));
    section.SetHeaderHeight(static_cast<float>(GetNumber(props, "headerHeight", 18.0)));
    section.SetUserOpenable(GetBool(props, "userOpenable", true));
    section.SetLabelOffsetX(static_cast<float>(GetNumber(props, "labelOffsetX", 0.0)));
    section.BuildSection(new QWidget(parent));
    section.SetOpened(GetBool(props, "opened", false));
}

void MakeOutlineBox(uit::controls::UI_OutlineBoxWithLabel& box, const PropList& props, QWidget* parent) {
    box.AttachWidget(new QGroupBox(ToQString(LocalizeArchived(GetText(props, "label"))), parent));
}

void MakeStaticText(UI_StaticText& text, const PropList& props, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    text.AttachWidget(label);
    SetUpControl(text, props);
    text.SetAlignment(GetChoice(props, "alignment", 0));
    text.SetValue(LocalizeArchived(GetText(props, "text")));
}

void MakePopup(UI_Popup& popup, const PropList& props, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setFocusPolicy(GetBool(props, "wantsFocus", true) ? Qt::StrongFocus : Qt::NoFocus);
    combo->setItemDelegate(new PopupItemDelegate(combo, &popup));
    QObject::connect(combo, &QComboBox::activated, [p = &popup] { p->SendChanged(); });
    popup.AttachWidget(combo);
    SetUpControl(popup, props);
    popup.SetPopupType(GetChoice(props, "popupType", 0));
    if (const Prop* items = Get(props, "items"))
        for (const auto& item : items->items)
            popup.AddItem(LocalizeArchived(item));
}

void MakeCheckbox(UI_Checkbox& checkbox, const PropList& props, QWidget* parent) {
    auto* box = new QCheckBox(ToQString(LocalizeArchived(GetText(props, "text"))), parent);
    QObject::connect(box, &QCheckBox::clicked, [c = &checkbox] { c->SendChanged(); });
    checkbox.AttachWidget(box);
    SetUpControl(checkbox, props);
    checkbox.SetChecked(GetBool(props, "checked", false));
}

void MakeHotTextNumber(UI_HotTextNumber& hot, const PropList& props, QWidget* parent) {
    auto* box = new HotTextSpinBox(parent, &hot);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setKeyboardTracking(false); // typed text counts when the user confirms it
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setFrame(false);
    QObject::connect(box, &QDoubleSpinBox::valueChanged, [h = &hot] { h->SendChanged(); });
    hot.AttachWidget(box);
    SetUpControl(hot, props);
    UI_HotTextNumber::Settings s;
    s.minValue = GetNumber(props, "minValue", s.minValue);
    s.maxValue = GetNumber(props, "maxValue", s.maxValue);
    s.increment = GetNumber(props, "increment", s.increment);
    s.shiftIncrement = GetNumber(props, "shiftIncrement", s.shiftIncrement);
    s.cmdIncrement = GetNumber(props, "cmdIncrement", s.cmdIncrement);
    s.decimalPlaces = static_cast<int32_t>(GetNumber(props, "decimalPlaces", 0));
    s.textLabel = LocalizeArchived(GetText(props, "textLabel"));
    hot.Configure(s);
    hot.SetValue(GetNumber(props, "value", 0.0));
}

void MakeButton(UI_Button& button, const PropList& props, QWidget* parent) {
    button.AttachWidget(new QPushButton(parent));
    SetUpControl(button, props);
}

void MakeTextButton(UI_TextButton& button, const PropList& props, QWidget* parent) {
    MakeButton(button, props, parent);
    button.SetText(LocalizeArchived(GetText(props, "text")));
}

void MakePlainView(UI_Node& node, const PropList&, QWidget* parent) { node.AttachWidget(new QWidget(parent)); }

// What the toolkit makes for one adapter name: the node, and then its widget.
struct NodeKind {
    std::function<std::shared_ptr<UI_Node>()> create;
    std::function<void(UI_Node&, const PropList&, QWidget*)> makeWidget;
};

// Nodes of class T with the widget maker for W, T or a base of it; a node of another class
// (one a factory made) gets a plain view.
template <class T, class W>
NodeKind Kind(void (*makeWidget)(W&, const PropList&, QWidget*)) {
    return NodeKind{[] { return std::static_pointer_cast<UI_Node>(std::make_shared<T>()); },
                    [makeWidget](UI_Node& node, const PropList& props, QWidget* parent) {
                        if (auto* typed = dynamic_cast<W*>(&node))
                            makeWidget(*typed, props, parent);
                        else
                            MakePlainView(node, props, parent);
                    }};
}

const std::map<std::string, NodeKind>& NodeKinds() {
    static const std::map<std::string, NodeKind> kinds = {
        {"tsaui::ui::UI_SubView", Kind<UI_SubView>(&MakePlainView)},
        {"tsaui::ui::UI_LayoutView", Kind<UI_LayoutView>(&MakePlainView)},
        {"uit::controls::UI_OutlineBoxWithLabel", Kind<uit::controls::UI_OutlineBoxWithLabel>(&MakeOutlineBox)},
        {"tsaui::controls::UI_SectionView", Kind<UI_SectionView>(&MakeSection)},
        {"tsaui::controls::UI_StaticText", Kind<UI_StaticText>(&MakeStaticText)},
        {"tsaui::controls::UI_Popup", Kind<UI_Popup>(&MakePopup)},
        {"tsaui::controls::UI_Checkbox", Kind<UI_Checkbox>(&MakeCheckbox)},
        {"tsaui::controls::UI_HotTextNumber", Kind<UI_HotTextNumber>(&MakeHotTextNumber)},
        {"tsaui::controls::UI_TextButton", Kind<UI_TextButton>(&MakeTextButton)},
        {"tsaui::controls::UI_Button", Kind<UI_Button>(&MakeButton)},
    };
    return kinds;
}

// A class this toolkit does not know shows as an empty view.
const NodeKind& KindFor(const std::string& adapter) {
    const auto& kinds = NodeKinds();
    auto it = kinds.find(adapter);
    return it != kinds.end() ? it->second : kinds.at("tsaui::ui::UI_SubView");
}
} // namespace

std::shared_ptr<UI_Node> NodeBuilder::Build(const PropList& archived, QWidget* parentWidget) {
    const ArchivedNode a = ReadNode(archived);
    const NodeKind& kind = KindFor(a.adapter);
    std::shared_ptr<UI_Node> node = factory_ ? factory_->CreateNode(a.adapter) : nullptr;
    if (!node)
        node = kind.create();
    node->SetID(GetText(a.props, "id"));
    node->SetBounds(ReadBounds(a.props));
    node->SetToolTip(LocalizeArchived(GetText(a.props, "tooltip")));
    node->SetVisible(GetBool(a.props, "visible", true));
    auto* sub = dynamic_cast<UI_SubView*>(node.get());
    if (sub)
        sub->SetAutoLayout(ReadAutoLayout(a.props));
    kind.makeWidget(*node, a.props, parentWidget);
    for (const PropList* child : a.children)
        node->AddChild(Build(*child, node->GetContentWidget()));
    if (sub)
        subviews_.push_back(sub);
    return node;
}

void NodeBuilder::Finish() {
    for (UI_SubView* sub : subviews_)
        sub->KeepArchivedLayout();
    for (UI_SubView* sub : subviews_)
        sub->LayoutChildren();
}
} // namespace tsaui::ui
