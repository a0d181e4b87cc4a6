#include "gui/controls/source_option_ui.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "gui/controls/text_ui.h"
#include "gui/skin/skin_colors.h"

namespace scrivel::gui {

namespace {

constexpr int kBadgeSize = 46;   // white circle behind the icon
constexpr int kIconSize = 28;
constexpr qreal kTileRadius = 8;

}  // namespace

CSourceOptionUI::CSourceOptionUI(const QString& objectName, const QString& iconResource, const QString& firstLineName,
                                 const QString& secondLineName, QWidget* parent)
    : QAbstractButton(parent),
      m_icon(iconResource),
      m_firstLine(new CTextUI(firstLineName, this)),
      m_secondLine(new CTextUI(secondLineName, this)) {
  setObjectName(objectName);
  setCheckable(true);
  setAutoExclusive(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);

  for (CTextUI* line : {m_firstLine, m_secondLine}) line->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_firstLine->setProperty("role", QStringLiteral("optionTitle"));
  m_secondLine->setProperty("role", QStringLiteral("optionDetail"));

  auto* lines = new QVBoxLayout();
  lines->setSpacing(2);
  lines->addStretch(1);
  lines->addWidget(m_firstLine);
  lines->addWidget(m_secondLine);
  lines->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(18 + kBadgeSize + 14, 8, 18, 8);
  layout->addLayout(lines, 1);
}

QSize CSourceOptionUI::sizeHint() const { return {340, 70}; }

void CSourceOptionUI::enterEvent(QEnterEvent* event) {
  m_hovered = true;
  update();
  QAbstractButton::enterEvent(event);
}

void CSourceOptionUI::leaveEvent(QEvent* event) {
  m_hovered = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CSourceOptionUI::focusInEvent(QFocusEvent* event) {
  const Qt::FocusReason reason = event->reason();
  m_keyboardFocus = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
  QAbstractButton::focusInEvent(event);
}

void CSourceOptionUI::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF tile = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor fill = QColor::fromRgba(kTileColor);
  if (isChecked()) {
    fill = QColor::fromRgba(m_hovered ? kAccentHoverColor : kAccentColor);
  } else if (m_hovered) {
    fill = QColor::fromRgba(kTileHoverColor);
  }
  painter.setPen(isChecked() ? Qt::NoPen : QPen(QColor::fromRgba(kBorderColor), 1));
  painter.setBrush(fill);
  painter.drawRoundedRect(tile, kTileRadius, kTileRadius);

  const QRectF badge(18, (height() - kBadgeSize) / 2.0, kBadgeSize, kBadgeSize);
  painter.setPen(isChecked() ? Qt::NoPen : QPen(QColor::fromRgba(kBorderColor), 1));
  painter.setBrush(QColor::fromRgba(isChecked() ? kWindowColor : kBandColor));
  painter.drawEllipse(badge);
  const QRect iconRect(static_cast<int>(badge.center().x()) - kIconSize / 2,
                       static_cast<int>(badge.center().y()) - kIconSize / 2, kIconSize, kIconSize);
  m_icon.paint(&painter, iconRect);

  if (hasFocus() && m_keyboardFocus) {
    painter.setPen(QPen(QColor::fromRgba(isChecked() ? kWindowColor : kAccentColor), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(tile.adjusted(3, 3, -3, -3), kTileRadius - 2, kTileRadius - 2);
  }
}

}  // namespace scrivel::gui
