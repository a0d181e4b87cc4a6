#include "gui/dialogs/wnd_shadow.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace scrivel::gui {

namespace {

bool InRange(int value, int limit) { return value >= -limit && value <= limit; }

}  // namespace

void CWndShadow::Create(QWidget* window, QSize cornerSize) {
  m_window = window;
  m_cornerSize = cornerSize;
  window->installEventFilter(this);
  UpdateShown();
}

bool CWndShadow::SetSize(int size) {
  if (!InRange(size, kMaxSize)) return false;
  m_settings.size = size;
  Redraw();
  return true;
}

bool CWndShadow::SetDarkness(int darkness) {
  if (darkness < 0 || darkness > kMaxDarkness) return false;
  m_settings.darkness = darkness;
  Redraw();
  return true;
}

bool CWndShadow::SetPosition(int x, int y) {
  if (!InRange(x, kMaxSize) || !InRange(y, kMaxSize)) return false;
  m_offset = QPoint(x, y);
  Redraw();
  return true;
}

bool CWndShadow::SetColor(QRgb color) {
  m_settings.red = static_cast<std::uint8_t>(qRed(color));
  m_settings.green = static_cast<std::uint8_t>(qGreen(color));
  m_settings.blue = static_cast<std::uint8_t>(qBlue(color));
  Redraw();
  return true;
}

QMargins CWndShadow::margins() const {
  const int size = m_settings.size;
  return {std::max(0, size - m_offset.x()), std::max(0, size - m_offset.y()), std::max(0, size + m_offset.x()),
          std::max(0, size + m_offset.y())};
}

void CWndShadow::Redraw() {
  m_image = QImage();
  if (m_shown) emit changed();
}

void CWndShadow::UpdateShown() {
  if (m_window == nullptr) return;
  const bool shown = m_window->isVisible() && !(m_window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized |
                                                                           Qt::WindowFullScreen));
  if (shown == m_shown) return;
  m_shown = shown;
  emit changed();
}

bool CWndShadow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_window) {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::WindowStateChange:
        UpdateShown();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void CWndShadow::Paint(QPainter& painter, const QRect& frameRect) {
  if (!m_shown || frameRect.isEmpty()) return;
  if (m_image.isNull() || m_imageFrameSize != frameRect.size()) {
    const auto rows = RoundedRectSpans(frameRect.width(), frameRect.height(), m_cornerSize.width(), m_cornerSize.height());
    const ShadowBitmap bitmap = ComputeShadowBitmap(m_settings, frameRect.width(), rows);
    m_imageFrameSize = frameRect.size();
    if (bitmap.pixels.empty()) {
      m_image = QImage();
      return;
    }
    m_image = QImage(reinterpret_cast<const uchar*>(bitmap.pixels.data()), bitmap.width, bitmap.height,
                     bitmap.width * 4, QImage::Format_ARGB32_Premultiplied)
                  .copy();
  }
  const QPoint origin = frameRect.topLeft() + m_offset - QPoint(m_settings.size, m_settings.size);
  painter.drawImage(origin, m_image);
}

}  // namespace scrivel::gui
