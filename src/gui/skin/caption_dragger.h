// Moves a frameless window by its caption band: a left press in the band
// (over no control that keeps its presses) starts a system move, or follows
// the mouse itself where the platform offers none; a double click there
// maximises or restores the window when it may be maximised.
#pragma once

#include <QObject>
#include <QPoint>
#include <optional>

class QMouseEvent;
class QWidget;

namespace scrivel::gui {

class CCaptionDragger : public QObject {
  Q_OBJECT

 public:
  // frame is the widget drawn as the window (inside any shadow margin); its
  // top captionHeight pixels are the caption band.
  CCaptionDragger(QWidget* frame, int captionHeight, bool doubleClickMaximises);
  ~CCaptionDragger() override;

  // True while the window follows the mouse by itself.
  bool isDragging() const { return m_dragOffset.has_value(); }
  // True when the last press in the window started a move (system or own).
  bool lastPressMoved() const { return m_lastPressMoved; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool IsCaptionAt(const QMouseEvent& event) const;
  bool OnPress(const QMouseEvent& event);
  bool OnDoubleClick(const QMouseEvent& event);

  QWidget* m_frame;
  int m_captionHeight;
  bool m_doubleClickMaximises;
  std::optional<QPoint> m_dragOffset;  // window position minus mouse position while dragging by hand
  bool m_lastPressMoved = false;
};

}  // namespace scrivel::gui
