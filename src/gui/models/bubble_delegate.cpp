#include "gui/models/bubble_delegate.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>

#include "gui/models/chat_model.h"
#include "gui/skin/skin_colors.h"

namespace scrivel::gui {

namespace {

constexpr int kMargin = 10;       // left and right of the row
constexpr int kTextPadding = 9;   // inside the bubble
constexpr int kHeaderGap = 3;     // header line to bubble
constexpr int kRowGap = 10;       // below each message
constexpr int kRadius = 12;
constexpr double kBubbleShare = 0.78;  // widest bubble, of the row's width
constexpr QRgb kReceivedBubble = 0xFFEEF1F5;
constexpr QRgb kReceivedText = 0xFF1D2733;
constexpr QRgb kSentText = 0xFFFFFFFF;

QString HeaderText(const QModelIndex& index) {
  QString header = index.data(CChatModel::kDateRole).toString() + QStringLiteral("  ") +
                   index.data(CChatModel::kSenderRole).toString();
  if (index.data(CChatModel::kDeletedRole).toBool()) header += QStringLiteral("  (deleted)");
  return header;
}

}  // namespace

QRect CBubbleDelegate::TextRect(const QFontMetrics& metrics, const QString& text, int width, bool fromMe, int top) {
  const int maxText = std::max(40, static_cast<int>((width - 2 * kMargin) * kBubbleShare) - 2 * kTextPadding);
  const QRect bounds = metrics.boundingRect(QRect(0, 0, maxText, 100000), Qt::TextWordWrap | Qt::TextWrapAnywhere, text);
  const int textWidth = std::max(bounds.width(), 8);
  const int left = fromMe ? width - kMargin - kTextPadding - textWidth : kMargin + kTextPadding;
  return QRect(left, top + kTextPadding, textWidth, bounds.height());
}

int CBubbleDelegate::RowWidth(const QStyleOptionViewItem& option) const {
  // A row is as wide as the list shows, so bubbles wrap instead of scrolling.
  if (const auto* view = qobject_cast<const QAbstractItemView*>(parent())) return std::max(120, view->viewport()->width());
  return option.rect.width() > 0 ? option.rect.width() : 300;
}

QSize CBubbleDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QFontMetrics metrics(option.font);
  const int width = RowWidth(option);
  const QRect text = TextRect(metrics, index.data().toString(), width, index.data(CChatModel::kFromMeRole).toBool(), 0);
  const int headerHeight = metrics.height();
  return QSize(width, headerHeight + kHeaderGap + text.height() + 2 * kTextPadding + kRowGap);
}

void CBubbleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  const QFontMetrics metrics(option.font);
  const bool fromMe = index.data(CChatModel::kFromMeRole).toBool();
  const bool deleted = index.data(CChatModel::kDeletedRole).toBool();
  const QString text = index.data().toString();
  const int width = RowWidth(option);
  const int top = option.rect.top();

  QFont headerFont = option.font;
  headerFont.setPointSizeF(option.font.pointSizeF() * 0.9);
  painter->setFont(headerFont);
  painter->setPen(deleted ? QColor::fromRgba(kDeletedRecordColor) : QColor::fromRgba(kMutedTextColor));
  const QRect headerRect(option.rect.left() + kMargin, top, width - 2 * kMargin, metrics.height());
  painter->drawText(headerRect, (fromMe ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                    metrics.elidedText(HeaderText(index), Qt::ElideRight, headerRect.width()));

  const int bubbleTop = top + metrics.height() + kHeaderGap;
  QRect textRect = TextRect(metrics, text, width, fromMe, bubbleTop);
  textRect.translate(option.rect.left(), 0);
  const QRect bubble = textRect.adjusted(-kTextPadding, -kTextPadding, kTextPadding, kTextPadding);
  QPainterPath path;
  path.addRoundedRect(bubble, kRadius, kRadius);
  painter->fillPath(path, fromMe ? QColor::fromRgba(kAccentColor) : QColor::fromRgba(kReceivedBubble));
  if (deleted) {
    painter->setPen(QPen(QColor::fromRgba(kDeletedRecordColor), 2));
    painter->drawPath(path);
  }
  painter->setFont(option.font);
  QColor textColor = fromMe ? QColor::fromRgba(kSentText) : QColor::fromRgba(kReceivedText);
  if (deleted) textColor = fromMe ? QColor(0xFF, 0xD9, 0xB0) : QColor::fromRgba(kDeletedRecordColor);
  painter->setPen(textColor);
  painter->drawText(textRect, Qt::TextWordWrap | Qt::TextWrapAnywhere, text);
  painter->restore();
}

}  // namespace scrivel::gui
