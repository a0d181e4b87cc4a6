#include "gui/skin/resize_grips.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace scrivel::gui {

namespace {

// One zone: the window edges it moves and its cursor.
struct GripKind {
  Qt::Edges edges;
  Qt::CursorShape cursor;
};

constexpr std::array<GripKind, 8> kGripKinds{{
    {Qt::LeftEdge, Qt::SizeHorCursor},
    {Qt::RightEdge, Qt::SizeHorCursor},
    {Qt::TopEdge, Qt::SizeVerCursor},
    {Qt::BottomEdge, Qt::SizeVerCursor},
    {Qt::TopEdge | Qt::LeftEdge, Qt::SizeFDiagCursor},
    {Qt::BottomEdge | Qt::RightEdge, Qt::SizeFDiagCursor},
    {Qt::TopEdge | Qt::RightEdge, Qt::SizeBDiagCursor},
    {Qt::BottomEdge | Qt::LeftEdge, Qt::SizeBDiagCursor},
}};

}  // namespace

CResizeGrip::CResizeGrip(QWidget* parent, Qt::Edges edges, Qt::CursorShape cursor) : QWidget(parent), m_edges(edges) {
  setCursor(cursor);
}

void CResizeGrip::mousePressEvent(QMouseEvent* event) {
  QWindow* handle = window()->windowHandle();
  if (event->button() == Qt::LeftButton && handle != nullptr) handle->startSystemResize(m_edges);
  event->accept();
}

CResizeGrips::CResizeGrips(QWidget* frame, int border) : QObject(frame), m_frame(frame), m_border(border) {
  for (size_t i = 0; i < kGripKinds.size(); ++i) m_grips[i] = new CResizeGrip(frame, kGripKinds[i].edges, kGripKinds[i].cursor);
  frame->installEventFilter(this);
  Place();
}

void CResizeGrips::setActive(bool active) {
  m_active = active;
  Place();
}

bool CResizeGrips::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_frame && (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded)) Place();
  return QObject::eventFilter(watched, event);
}

void CResizeGrips::Place() {
  const int width = m_frame->width();
  const int height = m_frame->height();
  const int border = m_border;
  for (CResizeGrip* grip : m_grips) {
    const Qt::Edges edges = grip->edges();
    const int x = edges & Qt::RightEdge ? width - border : 0;
    const int y = edges & Qt::BottomEdge ? height - border : 0;
    const bool horizontalOnly = edges == Qt::LeftEdge || edges == Qt::RightEdge;
    const bool verticalOnly = edges == Qt::TopEdge || edges == Qt::BottomEdge;
    const int gripWidth = verticalOnly ? width : border;
    const int gripHeight = horizontalOnly ? height : border;
    grip->setGeometry(x, y, gripWidth, gripHeight);
    grip->setVisible(m_active);
    grip->raise();
  }
}

}  // namespace scrivel::gui
