#include "gui/models/result_item_delegate.h"

#include <QPainter>

#include "gui/models/result_list_model.h"
#include "gui/skin/skin_colors.h"

namespace scrivel::gui {

namespace {

constexpr int kDeletedBarWidth = 3;

}  // namespace

void CResultItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem styled = option;
  // The deleted colour stays on selected rows too.
  const QVariant foreground = index.data(Qt::ForegroundRole);
  if (foreground.canConvert<QColor>()) {
    styled.palette.setColor(QPalette::HighlightedText, foreground.value<QColor>());
  }
  QStyledItemDelegate::paint(painter, styled, index);
  if (index.column() != 0 || !index.data(CResultListModel::kDeletedRole).toBool()) return;
  painter->save();
  painter->fillRect(QRect(option.rect.left(), option.rect.top() + 2, kDeletedBarWidth, option.rect.height() - 4),
                    QColor::fromRgba(kDeletedRecordColor));
  painter->restore();
}

}  // namespace scrivel::gui
