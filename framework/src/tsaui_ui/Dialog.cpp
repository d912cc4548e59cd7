// Dialogs, and the builder that turns a node archive (a prop.map XML text) into nodes and widgets.
#include <tsaui/ui/UI_Dialog.h>

#include <cmath>
#include <map>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QWidget>
#include <pugixml.hpp>

#include <tsacore/config/Error.h>
#include <tsacore/config/Localizer.h>
#include <tsaui/controls/UI_Checkbox.h>
#include <tsaui/controls/UI_HotTextNumber.h>
#include <tsaui/controls/UI_Popup.h>
#include <tsaui/controls/UI_SectionView.h>
#include <tsaui/controls/UI_StaticText.h>

#include "FitLabels.h"
#include "Internal.h"
#include "QtSupport.h"

namespace uit::controls {
// A labelled frame around a group of nodes.
class UI_OutlineBoxWithLabel : public tsaui::ui::UI_SubView {
public:
    ~UI_OutlineBoxWithLabel() override = default;
};
} // namespace uit::controls

namespace tsaui::ui {
using qt::ToQString;
using namespace tsaui::controls;

namespace {
// One value of a prop.list.
struct Prop {
    enum Kind { kNone, kInt, kFloat, kBool, kText, kArray, kList } kind = kNone;
    int64_t integer = 0;
    double number = 0.0;
    bool flag = false;
    std::string text; // ustring and string, UTF-8
    std::vector<std::string> items;
    std::map<std::string, Prop> list;
};
using PropList = std::map<std::string, Prop>;

PropList ParseList(const pugi::xml_node& list);

Prop ParseValue(const pugi::xml_node& node) {
    Prop prop;
    const std::string name = node.name();
    if (name == "int") {
        prop.kind = Prop::kInt;
        prop.integer = node.text().as_llong();
    } else if (name == "float" || name == "double") {
        prop.kind = Prop::kFloat;
        prop.number = node.text().as_double();
    } else if (name == "true" || name == "false") {
        prop.kind = Prop::kBool;
        prop.flag = name == "true";
    } else if (name == "ustring" || name == "string") {
        prop.kind = Prop::kText;
        prop.text = node.text().get();
    } else if (name == "array") {
        prop.kind = Prop::kArray;
        for (const auto& item : node.children())
            if (std::string(item.name()) != "array.type")
                prop.items.push_back(item.text().get());
    } else if (name == "prop.list") {
        prop.kind = Prop::kList;
        prop.list = ParseList(node);
    }
    return prop;
}

PropList ParseList(const pugi::xml_node& list) {
    PropList props;
    for (const auto& pair : list.children("prop.pair")) {
        const std::string key = pair.child("key").text().get();
        for (const auto& value : pair.children())
            if (value.type() == pugi::node_element && std::string(value.name()) != "key") {
                props.emplace(key, ParseValue(value));
                break;
            }
    }
    return props;
}

// The node's properties of every section, merged, and its children.
struct ArchivedNode {
    std::string adapter;
    PropList props;
    std::vector<const PropList*> children;
};

ArchivedNode ReadNode(const PropList& node) {
    ArchivedNode result;
    if (auto it = node.find("adapter"); it != node.end())
        result.adapter = it->second.text;
    auto sections = node.find("sections");
    if (sections == node.end())
        return result;
    for (const auto& [name, section] : sections->second.list) {
        if (name.rfind("section-", 0) != 0)
            continue;
        for (const auto& [key, value] : section.list) {
            if (key == "children") {
                for (int i = 0;; ++i) {
                    auto child = value.list.find("child-" + std::to_string(i));
                    if (child == value.list.end())
                        break;
                    result.children.push_back(&child->second.list);
                }
            } else {
                result.props.emplace(key, value);
            }
        }
    }
    return result;
}

const Prop* Get(const PropList& props, const char* key) {
    auto it = props.find(key);
    return it == props.end() ? nullptr : &it->second;
}
double GetNumber(const PropList& props, const char* key, double fallback) {
    const Prop* p = Get(props, key);
    if (!p)
        return fallback;
    if (p->kind == Prop::kInt)
        return static_cast<double>(p->integer);
    return p->kind == Prop::kFloat ? p->number : fallback;
}
bool GetBool(const PropList& props, const char* key, bool fallback) {
    const Prop* p = Get(props, key);
    return p && p->kind == Prop::kBool ? p->flag : fallback;
}
int32_t GetChoice(const PropList& props, const char* key, int32_t fallback) {
    const Prop* p = Get(props, key);
    return p ? static_cast<int32_t>(GetNumber(p->list, "selected", fallback)) : fallback;
}
std::string GetText(const PropList& props, const char* key) {
    const Prop* p = Get(props, key);
    return p ? p->text : std::string();
}

// "($$$/key=default)" becomes the localised text; anything else stays as written.
tsacore::UString LocalizeArchived(const std::string& text) {
    if (text.size() > 6 && text.front() == '(' && text.back() == ')' && text.compare(1, 4, "$$$/") == 0)
        return tsacore::config::Localize(text.substr(1, text.size() - 2).c_str());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdU16String();
}

UI_Rect ReadBounds(const PropList& props) {
    const Prop* b = Get(props, "bounds");
    if (!b)
        return {};
    return UI_Rect{static_cast<float>(GetNumber(b->list, "left", 0)), static_cast<float>(GetNumber(b->list, "top", 0)),
                   static_cast<float>(GetNumber(b->list, "width", 0)), static_cast<float>(GetNumber(b->list, "height", 0))};
}

// The number field: Shift and Ctrl with the arrow keys step by the archive's other increments.
class HotTextSpinBox final : public QDoubleSpinBox {
public:
    HotTextSpinBox(QWidget* parent, UI_HotTextNumber* node) : QDoubleSpinBox(parent), node_(node) {}
protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool up = event->key() == Qt::Key_Up, down = event->key() == Qt::Key_Down;
        const auto mods = event->modifiers();
        if ((up || down) && (mods & (Qt::ShiftModifier | Qt::ControlModifier))) {
            const auto& s = node_->GetSettings();
            const double step = (mods & Qt::ShiftModifier) ? s.shiftIncrement : s.cmdIncrement;
            setValue(value() + (up ? step : -step));
            event->accept();
            return;
        }
        QDoubleSpinBox::keyPressEvent(event);
        // Return commits the typed number; it does not also press the dialog's default button.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            event->accept();
    }
private:
    UI_HotTextNumber* node_;
};

// Items of an open pop-up list; with the check style on, the selected one carries a check mark.
class PopupItemDelegate final : public QStyledItemDelegate {
public:
    PopupItemDelegate(QComboBox* combo, UI_Popup* popup) : QStyledItemDelegate(combo), combo_(combo), popup_(popup) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem item(option);
        if (popup_->GetItemCheckStyle()) {
            const int mark = item.rect.height();
            if (index.row() == combo_->currentIndex()) {
                painter->save();
                painter->setPen(item.palette.color(QPalette::Text));
                painter->drawText(QRect(item.rect.left(), item.rect.top(), mark, mark), Qt::AlignCenter,
                                  QString(QChar(0x2713))); // check mark
                painter->restore();
            }
            item.rect.setLeft(item.rect.left() + mark);
        }
        QStyledItemDelegate::paint(painter, item, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (popup_->GetItemCheckStyle())
            size.rwidth() += size.height();
        return size;
    }
private:
    QComboBox* combo_;
    UI_Popup* popup_;
};

class Builder {
public:
    Builder(const UI_NodeFactoryRef& factory) : factory_(factory) {}

    std::shared_ptr<UI_Node> Build(const PropList& archived, QWidget* parentWidget) {
        const ArchivedNode a = ReadNode(archived);
        std::shared_ptr<UI_Node> node = factory_ ? factory_->CreateNode(a.adapter) : nullptr;
        if (!node)
            node = Create(a.adapter);
        node->SetID(GetText(a.props, "id"));
        node->SetBounds(ReadBounds(a.props));
        node->SetToolTip(LocalizeArchived(GetText(a.props, "tooltip")));
        node->SetVisible(GetBool(a.props, "visible", true));
        if (auto* sub = dynamic_cast<UI_SubView*>(node.get()))
            sub->SetAutoLayout(UI_AutoLayout{GetBool(a.props, "AutoLayout", false),
                                             GetBool(a.props, "AutoLayout_Horizontal", false),
                                             GetBool(a.props, "AutoLayout_MaintainMargins", false),
                                             GetBool(a.props, "AutoLayout_ScaleChildren", false),
                                             GetBool(a.props, "LayoutChildren", false),
                                             static_cast<uint32_t>(GetNumber(Get(a.props, "Constraints")
                                                                                 ? Get(a.props, "Constraints")->list
                                                                                 : PropList{},
                                                                             "constraints", 0))});
        MakeWidget(*node, a.props, parentWidget);
        for (const PropList* child : a.children)
            node->AddChild(Build(*child, node->GetContentWidget()));
        if (auto* sub = dynamic_cast<UI_SubView*>(node.get()))
            subviews_.push_back(sub);
        return node;
    }

    void Finish() {
        for (UI_SubView* sub : subviews_)
            sub->KeepArchivedLayout();
        for (UI_SubView* sub : subviews_)
            sub->LayoutChildren();
    }

private:
    static std::shared_ptr<UI_Node> Create(const std::string& adapter) {
        if (adapter == "tsaui::ui::UI_LayoutView") return std::make_shared<UI_LayoutView>();
        if (adapter == "uit::controls::UI_OutlineBoxWithLabel") return std::make_shared<uit::controls::UI_OutlineBoxWithLabel>();
        if (adapter == "tsaui::controls::UI_SectionView") return std::make_shared<UI_SectionView>();
        if (adapter == "tsaui::controls::UI_StaticText") return std::make_shared<UI_StaticText>();
        if (adapter == "tsaui::controls::UI_Popup") return std::make_shared<UI_Popup>();
        if (adapter == "tsaui::controls::UI_Checkbox") return std::make_shared<UI_Checkbox>();
        if (adapter == "tsaui::controls::UI_HotTextNumber") return std::make_shared<UI_HotTextNumber>();
        if (adapter == "tsaui::controls::UI_TextButton") return std::make_shared<UI_TextButton>();
        if (adapter == "tsaui::controls::UI_Button") return std::make_shared<UI_Button>();
        return std::make_shared<UI_SubView>(); // a class this toolkit does not know shows as an empty view
    }

    static void SetUpControl(UI_ControlView& control, const PropList& props) {
        control.SetFontSize(static_cast<float>(GetNumber(props, "fontSize", 11.0)));
        control.SetDisabled(!GetBool(props, "enabled", true));
    }

    void MakeWidget(UI_Node& node, const PropList& props, QWidget* parent) {
        if (auto* section = dynamic_cast<UI_SectionView*>(&node)) {
            section->SetLabel(LocalizeArchived(GetText(props, "label")));
            section->SetHeaderHeight(static_cast<float>(GetNumber(props, "headerHeight", 18.0)));
            section->SetUserOpenable(GetBool(props, "userOpenable", true));
            section->SetLabelOffsetX(static_cast<float>(GetNumber(props, "labelOffsetX", 0.0)));
            section->BuildSection(new QWidget(parent));
            section->SetOpened(GetBool(props, "opened", false));
        } else if (dynamic_cast<uit::controls::UI_OutlineBoxWithLabel*>(&node)) {
            node.AttachWidget(new QGroupBox(ToQString(LocalizeArchived(GetText(props, "label"))), parent));
        } else if (auto* text = dynamic_cast<UI_StaticText*>(&node)) {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            node.AttachWidget(label);
            SetUpControl(*text, props);
            text->SetAlignment(GetChoice(props, "alignment", 0));
            text->SetValue(LocalizeArchived(GetText(props, "text")));
        } else if (auto* popup = dynamic_cast<UI_Popup*>(&node)) {
            auto* combo = new QComboBox(parent);
            combo->setFocusPolicy(GetBool(props, "wantsFocus", true) ? Qt::StrongFocus : Qt::NoFocus);
            combo->setItemDelegate(new PopupItemDelegate(combo, popup));
            QObject::connect(combo, &QComboBox::activated, [popup] { popup->SendChanged(); });
            node.AttachWidget(combo);
            SetUpControl(*popup, props);
            popup->SetPopupType(GetChoice(props, "popupType", 0));
            if (const Prop* items = Get(props, "items"))
                for (const auto& item : items->items)
                    popup->AddItem(LocalizeArchived(item));
        } else if (auto* checkbox = dynamic_cast<UI_Checkbox*>(&node)) {
            auto* box = new QCheckBox(ToQString(LocalizeArchived(GetText(props, "text"))), parent);
            QObject::connect(box, &QCheckBox::clicked, [checkbox] { checkbox->SendChanged(); });
            node.AttachWidget(box);
            SetUpControl(*checkbox, props);
            checkbox->SetChecked(GetBool(props, "checked", false));
        } else if (auto* hot = dynamic_cast<UI_HotTextNumber*>(&node)) {
            auto* box = new HotTextSpinBox(parent, hot);
            box->setButtonSymbols(QAbstractSpinBox::NoButtons);
            box->setKeyboardTracking(false); // typed text counts when the user confirms it
            box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            box->setFrame(false);
            QObject::connect(box, &QDoubleSpinBox::valueChanged, [hot] { hot->SendChanged(); });
            node.AttachWidget(box);
            SetUpControl(*hot, props);
            UI_HotTextNumber::Settings s;
            s.minValue = GetNumber(props, "minValue", s.minValue);
            s.maxValue = GetNumber(props, "maxValue", s.maxValue);
            s.increment = GetNumber(props, "increment", s.increment);
            s.shiftIncrement = GetNumber(props, "shiftIncrement", s.shiftIncrement);
            s.cmdIncrement = GetNumber(props, "cmdIncrement", s.cmdIncrement);
            s.decimalPlaces = static_cast<int32_t>(GetNumber(props, "decimalPlaces", 0));
            s.textLabel = LocalizeArchived(GetText(props, "textLabel"));
            hot->Configure(s);
            hot->SetValue(GetNumber(props, "value", 0.0));
        } else if (auto* button = dynamic_cast<UI_Button*>(&node)) {
            node.AttachWidget(new QPushButton(parent));
            SetUpControl(*button, props);
            if (auto* textButton = dynamic_cast<UI_TextButton*>(button))
                textButton->SetText(LocalizeArchived(GetText(props, "text")));
        } else {
            node.AttachWidget(new QWidget(parent));
        }
    }

    UI_NodeFactoryRef factory_;
    std::vector<UI_SubView*> subviews_;
};

[[noreturn]] void ThrowArchiveError(const char* literal) {
    tsacore::config::ThrowError(1, literal, 105, 1, true, {}, {}, {}, {});
}
} // namespace

// Dialog -----------------------------------------------------------------------------------
UI_Dialog::UI_Dialog(const tsacore::UString& title, UI_WindowRef parentWindow)
    : parentWindow_(parentWindow), title_(title) {
    qt::EnsureApplication();
    QWidget* parent = parentWindow ? QWidget::find(static_cast<WId>(parentWindow)) : nullptr;
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(ToQString(title));
    // The toolkit's dialog face: small and narrow, as the archived layouts are measured for it.
    QFont font = dialog->font();
    font.setPixelSize(11);
    font.setStretch(QFont::Condensed);
    dialog->setFont(font);
    AttachWidget(dialog);
}

UI_Dialog::~UI_Dialog() {
    QWidget* dialog = widget_;
    DetachWidgets();
    delete dialog; // and every widget in it
}

void UI_Dialog::SetOkButton(const std::shared_ptr<tsaui::controls::UI_Button>& button) {
    if (auto* push = button ? qobject_cast<QPushButton*>(button->GetWidget()) : nullptr) {
        push->setDefault(true);
        QObject::connect(push, &QPushButton::clicked, [this] { EndModal(kDialogResultOK); });
    }
}

void UI_Dialog::SetCancelButton(const std::shared_ptr<tsaui::controls::UI_Button>& button) {
    if (auto* push = button ? qobject_cast<QPushButton*>(button->GetWidget()) : nullptr)
        QObject::connect(push, &QPushButton::clicked, [this] { EndModal(kDialogResultCancel); });
}

int32_t UI_Dialog::RunModal() {
    result_ = kDialogResultCancel;
    auto* dialog = qobject_cast<QDialog*>(widget_);
    if (!dialog)
        return result_;
    const automation::ModalRunObserver observer = automation::CurrentModalRunObserver();
    // Nobody could see or answer a dialog drawn offscreen: without an observer it is cancelled.
    if (!observer && QGuiApplication::platformName() == QLatin1String("offscreen"))
        return result_;
    running_ = true;
    if (observer)
        QTimer::singleShot(0, dialog, [this, observer] {
            observer(*this);
            if (widget_ && widget_->isVisible()) // the observer left it open
                EndModal(kDialogResultCancel);
        });
    const int code = dialog->exec();
    running_ = false;
    result_ = code == kDialogResultOK ? kDialogResultOK : kDialogResultCancel;
    return result_;
}

void UI_Dialog::EndModal(int32_t result) {
    if (auto* dialog = qobject_cast<QDialog*>(widget_))
        dialog->done(result);
}

void UI_Dialog::Resize(float width, float height) {
    const int w = static_cast<int>(std::lround(width)), h = static_cast<int>(std::lround(height));
    if (widget_)
        widget_->setFixedSize(w, h);
    if (root_)
        root_->Resize(width, height);
}

float UI_Dialog::GetWidth() const { return widget_ ? static_cast<float>(widget_->width()) : 0.0f; }
float UI_Dialog::GetHeight() const { return widget_ ? static_cast<float>(widget_->height()) : 0.0f; }
UI_Rect UI_Dialog::GetBounds() const { return UI_Rect{0.0f, 0.0f, GetWidth(), GetHeight()}; }

UI_NodeFactory::~UI_NodeFactory() = default;

// Archived dialog ---------------------------------------------------------------------------
UI_ArchivedDialog::UI_ArchivedDialog(tsaui::drawbot::SupplierInterface* /*supplier: Qt draws*/,
                                     tsaui::utility::OS_ResourceManager* resources, const char* id,
                                     const tsacore::UString& title, UI_WindowRef parentWindow, bool centered,
                                     bool resizable, UI_Point origin, const UI_NodeFactoryRef& factory,
                                     bool keepArchivePosition)
    : UI_Dialog(title, parentWindow) {
    std::string text;
    if (const std::string* replacement = automation::FindArchiveOverride(id ? id : "")) {
        text = *replacement;
    } else {
        const auto resource = resources && id ? resources->Find("XML", id) : tsaui::utility::ResourceData{};
        if (!resource)
            ThrowArchiveError("$$$/tsaui/ui/Error/ArchiveNotFound=The dialog layout could not be found.");
        text.assign(reinterpret_cast<const char*>(resource.data), resource.size);
    }
    pugi::xml_document document;
    const PropList top = document.load_buffer(text.data(), text.size())
                             ? ParseList(document.child("prop.map").child("prop.list"))
                             : PropList{};
    auto root = top.find("root");
    if (root == top.end() || root->second.kind != Prop::kList)
        ThrowArchiveError("$$$/tsaui/ui/Error/ArchiveUnreadable=The dialog layout could not be read.");

    Builder builder(factory);
    root_ = builder.Build(root->second.list, widget_);
    AddChild(root_);
    const UI_Rect archived = root_->GetBounds();
    root_->SetBounds(UI_Rect{0.0f, 0.0f, archived.width, archived.height});
    FitLabels(*root_);
    builder.Finish();
    const int width = static_cast<int>(std::lround(root_->GetBounds().width));
    const int height = static_cast<int>(std::lround(archived.height));
    if (resizable)
        widget_->setMinimumSize(0, 0);
    else
        widget_->setFixedSize(width, height);
    widget_->resize(width, height);
    if (!centered || !widget_->parentWidget())
        widget_->move(keepArchivePosition ? QPoint(static_cast<int>(archived.left), static_cast<int>(archived.top))
                                          : QPoint(static_cast<int>(origin.h), static_cast<int>(origin.v)));
}

UI_ArchivedDialog::~UI_ArchivedDialog() = default;

std::shared_ptr<UI_Node> UI_ArchivedDialog::GetNodeForID(const char* id) {
    return root_ && id ? root_->FindNodeForID(id) : nullptr;
}

void FlipNodePositionsOnMac([[maybe_unused]] const std::shared_ptr<UI_Node>& okButton,
                            [[maybe_unused]] const std::shared_ptr<UI_Node>& cancelButton) {
#ifdef Q_OS_MACOS
    if (!okButton || !cancelButton)
        return;
    UI_Rect ok = okButton->GetBounds(), cancel = cancelButton->GetBounds();
    std::swap(ok.left, cancel.left);
    okButton->SetBounds(ok);
    cancelButton->SetBounds(cancel);
#endif
}
} // namespace tsaui::ui
