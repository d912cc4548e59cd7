// SPDX-License-Identifier: MIT
#include "Widgets.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>

#include <tsaui/controls/UI_HotTextNumber.h>
#include <tsaui/controls/UI_Popup.h>

namespace tsaui::ui {
void HotTextSpinBox::keyPressEvent(QKeyEvent* event) {
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

PopupItemDelegate::PopupItemDelegate(QComboBox* combo, tsaui::controls::UI_Popup* popup)
    : QStyledItemDelegate(combo), combo_(combo), popup_(popup) {}

void PopupItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
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

QSize PopupItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (popup_->GetItemCheckStyle())
        size.rwidth() += size.height();
    return size;
}
} // namespace tsaui::ui
