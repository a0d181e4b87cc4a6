#include "gui/app/command_line.h"

namespace scrivel::gui {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      line.action = CommandLine::Action::kHelp;
      return line;
    }
    if (argument == "--version") {
      line.action = CommandLine::Action::kVersion;
      return line;
    }
    if (argument == "--scan") {
      line.scan = true;
      continue;
    }
    // Qt's own options (-platform, -style, ...) take a value and are left to Qt.
    if (argument.size() > 1 && argument[0] == '-' && argument != "--") {
      if (argument.rfind("--", 0) == 0) {
        line.action = CommandLine::Action::kError;
        line.error = "unknown option '" + argument + "'";
        return line;
      }
      ++i;
      continue;
    }
    if (!line.backupFolder.isEmpty()) {
      line.action = CommandLine::Action::kError;
      line.error = "give one backup folder only";
      return line;
    }
    line.backupFolder = QString::fromLocal8Bit(argument.c_str());
  }
  if (line.scan && line.backupFolder.isEmpty()) {
    line.action = CommandLine::Action::kError;
    line.error = "--scan needs a BACKUP_DIR";
  }
  return line;
}

std::string CommandLineHelp() {
  return "Usage: scrivel [--scan] [BACKUP_DIR]\n"
         "Vantoric Scrivel for iOS: recovers messages, contacts, call history, notes,\n"
         "WhatsApp chats, photos and attachments from iPhone backups.\n\n"
         "  BACKUP_DIR   open this backup folder on the backup page\n"
         "  --scan       start the scan of BACKUP_DIR at once\n"
         "  --help       show this text\n"
         "  --version    show the version\n\n"
         "Without a display, use scrivel-cli, which scans and exports from the command line.\n";
}

}  // namespace scrivel::gui
