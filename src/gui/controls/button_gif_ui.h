// "ButtonGif": a button that plays an animation of the skin resources (the
// scanning and loading animations). Play starts the frame timer, Stop halts
// it and keeps the frame shown, hiding the control halts the timer too.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QPushButton>
#include <vector>

namespace scrivel::gui {

class CButtonGifUI : public QPushButton {
  Q_OBJECT

 public:
  explicit CButtonGifUI(QWidget* parent = nullptr);

  // Loads the animation at resourcePath (for example
  // ":/skins/anim/scanning.gif"), replacing any previous one: a running timer
  // is stopped first. Returns false when the file holds no frame; the control
  // then paints as a plain button.
  bool setNormalGifFile(const QString& resourcePath);

  void Play();
  void Stop();

  bool isPlaying() const { return m_playing; }
  bool isTimerActive() const { return m_frameTimer.isActive(); }
  int frameCount() const { return static_cast<int>(m_frames.size()); }
  int currentFrameIndex() const { return m_frameIndex; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct Frame {
    QImage image;
    int delayMs = 0;  // how long the frame stays, as the file gives it
  };

  void StartFrameTimer(int delayMs);
  int CurrentDelay() const;

  std::vector<Frame> m_frames;
  int m_frameIndex = 0;       // the frame painted last
  bool m_playing = false;
  bool m_advance = false;     // set by the timer: the next paint moves to the next frame
  int m_timerDelayMs = 0;     // interval of the running frame timer
  QBasicTimer m_frameTimer;
};

}  // namespace scrivel::gui
