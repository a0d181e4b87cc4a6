// The soft drop shadow around a frameless window. The window is a
// translucent top-level widget whose visible frame is inset by margins();
// the shadow paints itself into that margin, behind the frame. It follows
// the window: hidden while the window is hidden, minimised or maximised,
// back when it is restored, recomputed when the frame's size changes.
#pragma once

#include <QImage>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

#include "gui/dialogs/shadow_bitmap.h"

class QPainter;
class QWidget;

namespace scrivel::gui {

class CWndShadow : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxSize = 20;      // SetSize and SetPosition take -20..20
  static constexpr int kMaxDarkness = 255;

  CWndShadow() = default;

  // Follows window from now on; cornerSize is the rounding of the frame's
  // corners. The state starts from the window's: shown only when the window
  // is visible and neither minimised nor maximised.
  void Create(QWidget* window, QSize cornerSize);

  // Each setter refuses an out-of-range value (false, nothing changed);
  // otherwise it stores the value and redraws at once when shown.
  bool SetSize(int size);
  bool SetDarkness(int darkness);
  bool SetPosition(int x, int y);
  bool SetColor(QRgb color);

  int size() const { return m_settings.size; }
  int darkness() const { return m_settings.darkness; }
  int sharpness() const { return m_settings.sharpness; }
  QPoint position() const { return m_offset; }
  bool isShown() const { return m_shown; }

  // Room the window keeps free around its frame for the shadow.
  QMargins margins() const;

  // Paints the shadow of a frame at frameRect (window coordinates).
  void Paint(QPainter& painter, const QRect& frameRect);

 signals:
  // The shadow was shown, hidden or changed: the window must update its
  // margins and repaint.
  void changed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateShown();
  void Redraw();

  QWidget* m_window = nullptr;
  QSize m_cornerSize;
  ShadowSettings m_settings{150, 5, 0, 0, 0, 0};  // darkness, sharpness, size, black
  QPoint m_offset{5, 5};                          // shift of the shadow against the frame
  bool m_shown = false;
  QImage m_image;           // the last computed shadow
  QSize m_imageFrameSize;   // frame size m_image was computed for
};

}  // namespace scrivel::gui
