// The desktop application's command line:
//
//   scrivel [BACKUP_DIR]          open that backup on the backup page
//   scrivel --scan BACKUP_DIR     open it and start its scan
//   scrivel --help | --version
//
// Read before the window system is touched, so that --help works without a
// display.
#pragma once

#include <QString>
#include <string>
#include <vector>

namespace scrivel::gui {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kError };
  Action action = Action::kRun;
  QString backupFolder;  // empty: the start page
  bool scan = false;     // start the scan of backupFolder at once
  std::string error;     // kError: what was wrong
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);  // without the program name

// The text --help prints.
std::string CommandLineHelp();

}  // namespace scrivel::gui
