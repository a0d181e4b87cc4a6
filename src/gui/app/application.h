// The application's run from start to end: one instance per user, the look
// and the language texts, the main window centred on the screen, the event
// loop, and the clean-up of the preview files.
#pragma once

namespace scrivel::gui {

// Runs the application; returns the process exit code (0).
int RunApplication(int argc, char** argv);

}  // namespace scrivel::gui
