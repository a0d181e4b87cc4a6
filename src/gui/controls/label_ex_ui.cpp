#include "gui/controls/label_ex_ui.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "gui/skin/skin_colors.h"

namespace scrivel::gui {

namespace {

constexpr int kPreferredTextWidth = 320;  // width a bubble asks for before its layout narrows it

// Lays text out the way the label paints it, so that measuring and painting
// agree.
void PrepareDocument(QTextDocument& document, const QString& text, bool markup, const QFont& font, int width) {
  document.setDefaultFont(font);
  document.setDocumentMargin(0);
  if (markup) {
    document.setHtml(text);
  } else {
    document.setPlainText(text);
  }
  document.setTextWidth(std::max(width, 1));
}

}  // namespace

CLabelExUI::CLabelExUI(QWidget* parent)
    : QLabel(parent), m_textColor(QColor::fromRgba(kTextColor)), m_disabledTextColor(QColor::fromRgba(kDisabledTextColor)) {
  setWordWrap(true);
  // Bubbles show recovered text, which must never be read as markup by
  // accident; a caller that wants markup sets Qt::RichText.
  setTextFormat(Qt::PlainText);
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

void CLabelExUI::setTextPadding(QMargins padding) {
  m_textPadding = padding;
  updateGeometry();
  update();
}

void CLabelExUI::setTextColor(QColor color) {
  m_textColor = color;
  update();
}

void CLabelExUI::setDisabledTextColor(QColor color) {
  m_disabledTextColor = color;
  update();
}

QColor CLabelExUI::PaintColor() const { return isEnabled() ? m_textColor : m_disabledTextColor; }

bool CLabelExUI::UsesMarkup() const {
  if (!isEnabled()) return false;
  return textFormat() == Qt::RichText || (textFormat() == Qt::AutoText && Qt::mightBeRichText(text()));
}

int CLabelExUI::heightForWidth(int width) const {
  const int textWidth = width - m_textPadding.left() - m_textPadding.right();
  QTextDocument document;
  PrepareDocument(document, text(), UsesMarkup(), font(), textWidth);
  return static_cast<int>(std::ceil(document.size().height())) + m_textPadding.top() + m_textPadding.bottom();
}

QSize CLabelExUI::sizeHint() const {
  QTextDocument document;
  PrepareDocument(document, text(), UsesMarkup(), font(), kPreferredTextWidth);
  const int width = std::min(static_cast<int>(std::ceil(document.idealWidth())), kPreferredTextWidth) +
                    m_textPadding.left() + m_textPadding.right();
  return {width, heightForWidth(width)};
}

QSize CLabelExUI::minimumSizeHint() const {
  return {m_textPadding.left() + m_textPadding.right() + fontMetrics().averageCharWidth(),
          m_textPadding.top() + m_textPadding.bottom() + fontMetrics().height()};
}

void CLabelExUI::paintEvent(QPaintEvent* /*event*/) {
  const QRect textRect = contentsRect().marginsRemoved(m_textPadding);
  if (textRect.width() <= 0 || textRect.height() <= 0) return;
  QTextDocument document;
  PrepareDocument(document, text(), UsesMarkup(), font(), textRect.width());

  QPainter painter(this);
  painter.translate(textRect.topLeft());
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette = palette();
  context.palette.setColor(QPalette::Text, PaintColor());
  context.clip = QRectF(0, 0, textRect.width(), textRect.height());
  painter.setClipRect(context.clip);
  document.documentLayout()->draw(&painter, context);
}

}  // namespace scrivel::gui
