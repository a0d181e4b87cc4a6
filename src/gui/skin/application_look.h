// The application's look: the skin resources, the style, the palette around
// the accent colour, the fonts and the style sheet.
#pragma once

class QApplication;

namespace scrivel::gui {

// Installs the look on app. Call once, before the first window is built.
void InstallApplicationLook(QApplication& app);

}  // namespace scrivel::gui
