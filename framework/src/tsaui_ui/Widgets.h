// SPDX-License-Identifier: MIT
// Qt widgets of this toolkit's own, for controls that Qt has no exact match for.
#pragma once

#include <QDoubleSpinBox>
#include <QStyledItemDelegate>

class QComboBox;

namespace tsaui::controls {
class UI_HotTextNumber;
class UI_Popup;
} // namespace tsaui::controls

namespace tsaui::ui {
// The number field: Shift and Ctrl with the arrow keys step by the archive's other increments.
// The node outlives the widget (the dialog deletes its widgets before its nodes).
class HotTextSpinBox final : public QDoubleSpinBox {
public:
    HotTextSpinBox(QWidget* parent, tsaui::controls::UI_HotTextNumber* node) : QDoubleSpinBox(parent), node_(node) {}
protected:
    void keyPressEvent(QKeyEvent* event) override;
private:
    tsaui::controls::UI_HotTextNumber* node_;
};

// Items of an open pop-up list; with the check style on, the selected one carries a check mark.
class PopupItemDelegate final : public QStyledItemDelegate {
public:
    PopupItemDelegate(QComboBox* combo, tsaui::controls::UI_Popup* popup);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
private:
    QComboBox* combo_;
    tsaui::controls::UI_Popup* popup_;
};
} // namespace tsaui::ui
