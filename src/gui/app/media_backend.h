// Picks the backend of Qt Multimedia before the first player is made. Qt's
// GStreamer backend cannot build a player when GStreamer's own playback
// plugins are missing (it fails inside Qt), so without them the FFmpeg
// backend is used. A backend named in QT_MEDIA_BACKEND is kept.
#pragma once

namespace scrivel::gui {

// Call before the QApplication is created.
void ChooseMediaBackend();

}  // namespace scrivel::gui
