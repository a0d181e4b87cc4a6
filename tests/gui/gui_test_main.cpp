// Runs the GUI tests inside one QApplication on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include "gui/app/media_backend.h"
#include "gui/skin/application_look.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The main window's engine works in the application-data folder: a
  // temporary one here, never the user's.
  QTemporaryDir dataHome;
  setenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit().constData(), 1);
  scrivel::gui::ChooseMediaBackend();
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // Tests close windows; the application must outlive them.
  QApplication::setQuitOnLastWindowClosed(false);
  scrivel::gui::InstallApplicationLook(app);
  return RUN_ALL_TESTS();
}
