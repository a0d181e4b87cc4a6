// Paints one message of the preview's bubble list: a header line with the
// date and the sender, and below it the text in a rounded bubble, on the
// right in the accent colour for own messages, on the left in grey for
// received ones. A deleted message's text is drawn in the deleted colour
// and its header says so. The height follows the wrapped text.
#pragma once

#include <QStyledItemDelegate>

namespace scrivel::gui {

class CBubbleDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // The bubble's text rectangle for a row of `width` pixels (exposed for
  // tests of the layout).
  static QRect TextRect(const QFontMetrics& metrics, const QString& text, int width, bool fromMe, int top);

 private:
  int RowWidth(const QStyleOptionViewItem& option) const;
};

}  // namespace scrivel::gui
