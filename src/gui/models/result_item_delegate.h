// Paints the cells of the data list: the base painting (check box, text in
// the row's colour, selection), and for a deleted record a short bar in the
// deleted colour at the left edge of the first cell, so deleted rows stand
// out even when selected. It only paints; it edits nothing.
#pragma once

#include <QStyledItemDelegate>

namespace scrivel::gui {

class CResultItemDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace scrivel::gui
