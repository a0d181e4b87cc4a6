#include "gui/controls/button_gif_ui.h"

#include <QImageReader>
#include <QPainter>
#include <QTimerEvent>

namespace scrivel::gui {

namespace {

// Some animations store a delay of 0, which would make the timer spin; such
// frames are shown for this long instead, as browsers do.
constexpr int kMinimumFrameDelayMs = 20;
constexpr int kMaxFrameCount = 1000;  // a bound on what a damaged file can make us decode

}  // namespace

CButtonGifUI::CButtonGifUI(QWidget* parent) : QPushButton(parent) {}

bool CButtonGifUI::setNormalGifFile(const QString& resourcePath) {
  m_frameTimer.stop();
  m_frames.clear();
  m_frameIndex = 0;
  m_advance = false;

  QImageReader reader(resourcePath);
  while (static_cast<int>(m_frames.size()) < kMaxFrameCount) {
    QImage image = reader.read();
    if (image.isNull()) break;
    m_frames.push_back(Frame{std::move(image), std::max(reader.nextImageDelay(), kMinimumFrameDelayMs)});
    if (!reader.canRead()) break;
  }
  update();
  return !m_frames.empty();
}

void CButtonGifUI::Play() {
  m_playing = true;
  m_frameTimer.stop();
  if (!m_frames.empty()) StartFrameTimer(CurrentDelay());
}

void CButtonGifUI::Stop() {
  m_playing = false;
  m_frameTimer.stop();
  update();
}

int CButtonGifUI::CurrentDelay() const { return m_frames[static_cast<size_t>(m_frameIndex)].delayMs; }

void CButtonGifUI::StartFrameTimer(int delayMs) {
  m_timerDelayMs = delayMs;
  m_frameTimer.start(delayMs, this);
}

void CButtonGifUI::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_frameTimer.timerId()) {
    QPushButton::timerEvent(event);
    return;
  }
  m_advance = true;
  update();
}

void CButtonGifUI::hideEvent(QHideEvent* event) {
  m_frameTimer.stop();
  QPushButton::hideEvent(event);
}

void CButtonGifUI::paintEvent(QPaintEvent* event) {
  if (m_frames.empty()) {
    QPushButton::paintEvent(event);
    return;
  }
  if (m_advance) {
    m_advance = false;
    m_frameIndex = (m_frameIndex + 1) % frameCount();
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), m_frames[static_cast<size_t>(m_frameIndex)].image);
  // Frames may differ in length: the timer follows the frame now shown.
  if (m_frameTimer.isActive() && CurrentDelay() != m_timerDelayMs) StartFrameTimer(CurrentDelay());
}

}  // namespace scrivel::gui
