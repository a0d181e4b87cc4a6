// The resize zones along the border of a frameless window: eight thin
// widgets (four edges, four corners) laid over the frame's border, showing
// the resize cursors and starting a system resize on a left press. They lie
// above every other control, so the border wins over a button under it.
#pragma once

#include <QObject>
#include <QWidget>
#include <array>

namespace scrivel::gui {

// One zone: a press starts a system resize of the window at its edges.
class CResizeGrip : public QWidget {
  Q_OBJECT

 public:
  CResizeGrip(QWidget* parent, Qt::Edges edges, Qt::CursorShape cursor);

  Qt::Edges edges() const { return m_edges; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  Qt::Edges m_edges;
};

class CResizeGrips : public QObject {
  Q_OBJECT

 public:
  CResizeGrips(QWidget* frame, int border);

  // Grips are hidden (no resize) while disabled, e.g. while maximised.
  void setActive(bool active);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();

  QWidget* m_frame;
  int m_border;
  bool m_active = true;
  std::array<CResizeGrip*, 8> m_grips{};
};

}  // namespace scrivel::gui
