#include "gui/skin/caption_dragger.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include "gui/skin/caption_hit_test.h"

namespace scrivel::gui {

CCaptionDragger::CCaptionDragger(QWidget* frame, int captionHeight, bool doubleClickMaximises)
    : QObject(frame), m_frame(frame), m_captionHeight(captionHeight), m_doubleClickMaximises(doubleClickMaximises) {
  // The filter sits on the application so that it sees presses before the
  // controls do, whichever control is under the mouse.
  qApp->installEventFilter(this);
}

CCaptionDragger::~CCaptionDragger() { qApp->removeEventFilter(this); }

bool CCaptionDragger::IsCaptionAt(const QMouseEvent& event) const {
  const QPoint point = m_frame->mapFromGlobal(event.globalPosition().toPoint());
  const QWidget* control = nullptr;
  if (m_frame->rect().contains(point)) {
    control = m_frame->childAt(point);
    if (control == nullptr) control = m_frame;
  }
  return IsCaptionPoint(point, m_captionHeight, control);
}

bool CCaptionDragger::OnPress(const QMouseEvent& event) {
  if (event.button() != Qt::LeftButton) return false;
  m_lastPressMoved = IsCaptionAt(event);
  if (!m_lastPressMoved) return false;
  QWidget* window = m_frame->window();
  const bool systemMove = window->windowHandle() != nullptr && window->windowHandle()->startSystemMove();
  if (!systemMove) m_dragOffset = window->pos() - event.globalPosition().toPoint();
  return true;
}

bool CCaptionDragger::OnDoubleClick(const QMouseEvent& event) {
  if (!m_doubleClickMaximises || event.button() != Qt::LeftButton || !IsCaptionAt(event)) return false;
  QWidget* window = m_frame->window();
  if (window->isMaximized()) {
    window->showNormal();
  } else {
    window->showMaximized();
  }
  return true;
}

bool CCaptionDragger::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease &&
      type != QEvent::MouseButtonDblClick) {
    return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != m_frame->window()) return false;
  const auto& mouse = static_cast<const QMouseEvent&>(*event);
  switch (type) {
    case QEvent::MouseButtonPress:
      return OnPress(mouse);
    case QEvent::MouseButtonDblClick:
      return OnDoubleClick(mouse);
    case QEvent::MouseMove:
      if (!m_dragOffset || !(mouse.buttons() & Qt::LeftButton)) return false;
      m_frame->window()->move(mouse.globalPosition().toPoint() + *m_dragOffset);
      return true;
    default:  // release
      if (!m_dragOffset) return false;
      m_dragOffset.reset();
      return true;
  }
}

}  // namespace scrivel::gui
