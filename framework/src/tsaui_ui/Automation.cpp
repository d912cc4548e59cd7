// SPDX-License-Identifier: MIT
// Driving dialogs as a user would: real mouse and key events sent to the nodes' widgets.
#include <tsaui/ui/UI_Automation.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QStyleOptionButton>

#include <tsaui/controls/UI_SectionView.h>

#include "Internal.h"
#include "QtSupport.h"

namespace tsaui::ui::automation {
namespace {
std::mutex sMutex;
ModalRunObserver sObserver;
std::map<std::string, std::string> sOverrides; // lower-case id -> archive

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

void SendClick(QWidget* widget, QPoint at) {
    const QPointF local(at), global(widget->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    // As a keyboard does: the widget may claim the key before shortcuts, then the key goes
    // down and up. A pop-up list closes on the claim; the key then goes nowhere further.
    QKeyEvent shortcut(QEvent::ShortcutOverride, key, modifiers, text);
    QApplication::sendEvent(widget, &shortcut);
    if (!widget->isVisible())
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

// Where a click lands on a widget: a check box's box, any other widget's centre.
QPoint ClickPoint(QWidget* widget) {
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        return box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
    }
    return widget->rect().center();
}
} // namespace

void SetModalRunObserver(ModalRunObserver observer) {
    const std::lock_guard lock(sMutex);
    sObserver = std::move(observer);
}

ModalRunObserver CurrentModalRunObserver() {
    const std::lock_guard lock(sMutex);
    return sObserver;
}

void SetArchiveOverride(const std::string& id, std::string xml) {
    const std::lock_guard lock(sMutex);
    sOverrides[Lower(id)] = std::move(xml);
}

void ClearArchiveOverrides() {
    const std::lock_guard lock(sMutex);
    sOverrides.clear();
}

const std::string* FindArchiveOverride(const std::string& id) {
    const std::lock_guard lock(sMutex);
    auto it = sOverrides.find(Lower(id));
    return it == sOverrides.end() ? nullptr : &it->second;
}

bool Click(UI_Node& node) {
    QWidget* widget = node.GetWidget();
    if (auto* section = dynamic_cast<tsaui::controls::UI_SectionView*>(&node))
        widget = section->GetDisclosureWidget();
    if (!widget)
        return false;
    SendClick(widget, ClickPoint(widget));
    return true;
}

bool ChooseItem(UI_Node& popup, int32_t position) {
    auto* combo = qobject_cast<QComboBox*>(popup.GetWidget());
    if (!combo || !combo->isEnabled() || position < 0 || position >= combo->count())
        return false;
    SendClick(combo, combo->rect().center()); // opens the list
    QAbstractItemView* list = combo->view();
    if (!list || !list->isVisible())
        return false;
    // Walk to the item with the arrow keys, then take it with Return.
    for (int guard = 0; guard <= combo->count(); ++guard) {
        const int row = list->currentIndex().isValid() ? list->currentIndex().row() : -1;
        if (row == position)
            break;
        SendKey(list, row < position ? Qt::Key_Down : Qt::Key_Up);
    }
    SendKey(list, Qt::Key_Return);
    if (list->isVisible())
        combo->hidePopup();
    return combo->currentIndex() == position;
}

bool TypeValue(UI_Node& field, const tsacore::UString& text) {
    QWidget* widget = field.GetWidget();
    if (!widget || !widget->isEnabled())
        return false;
    SendKey(widget, Qt::Key_A, Qt::ControlModifier); // select everything, typing replaces it
    for (const QChar c : qt::ToQString(text)) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        SendKey(widget, key, Qt::NoModifier, QString(c));
    }
    SendKey(widget, Qt::Key_Return);
    return true;
}

bool StepValue(UI_Node& field, int32_t steps, int32_t modifier) {
    QWidget* widget = field.GetWidget();
    if (!widget || !widget->isEnabled())
        return false;
    const Qt::KeyboardModifiers mods = modifier == 1 ? Qt::ShiftModifier
                                     : modifier == 2 ? Qt::ControlModifier : Qt::NoModifier;
    for (int32_t i = 0; i < std::abs(steps); ++i)
        SendKey(widget, steps > 0 ? Qt::Key_Up : Qt::Key_Down, mods);
    return true;
}

bool PressEscape(UI_Dialog& dialog) {
    if (!dialog.GetWidget())
        return false;
    SendKey(dialog.GetWidget(), Qt::Key_Escape);
    return true;
}

tsacore::UString ShownText(UI_Node& node) {
    QWidget* widget = node.GetWidget();
    if (auto* section = dynamic_cast<tsaui::controls::UI_SectionView*>(&node))
        widget = section->GetDisclosureWidget();
    if (auto* label = qobject_cast<QLabel*>(widget)) return qt::FromQString(label->text());
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return qt::FromQString(combo->currentText());
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) return qt::FromQString(spin->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return qt::FromQString(button->text());
    return {};
}

std::vector<tsacore::UString> ShownItems(UI_Node& popup) {
    std::vector<tsacore::UString> items;
    if (auto* combo = qobject_cast<QComboBox*>(popup.GetWidget()))
        for (int i = 0; i < combo->count(); ++i)
            items.push_back(qt::FromQString(combo->itemText(i)));
    return items;
}

bool ShownEnabled(UI_Node& node) { return node.GetWidget() && node.GetWidget()->isEnabled(); }

bool ShownVisible(UI_Node& node) { return node.GetWidget() && node.GetWidget()->isVisible(); }

UI_Rect RectInDialog(UI_Node& node) {
    QWidget* widget = node.GetWidget();
    if (!widget)
        return {};
    const QPoint topLeft = widget->mapTo(widget->window(), QPoint(0, 0));
    return UI_Rect{static_cast<float>(topLeft.x()), static_cast<float>(topLeft.y()),
                   static_cast<float>(widget->width()), static_cast<float>(widget->height())};
}

UI_Rect DialogWindowRect(UI_Dialog& dialog) {
    QWidget* widget = dialog.GetWidget();
    return widget ? UI_Rect{0.0f, 0.0f, static_cast<float>(widget->width()), static_cast<float>(widget->height())}
                  : UI_Rect{};
}

bool SavePicture(UI_Dialog& dialog, const std::string& path) {
    QWidget* widget = dialog.GetWidget();
    return widget && widget->grab().save(QString::fromStdString(path), "PNG");
}
} // namespace tsaui::ui::automation
