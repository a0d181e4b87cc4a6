// scrivel-cli backups: lists the backups found in the backups root, one line
// (or one JSON object per line with --json) per backup.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/terminal_text.h"
#include "core/common/json_text.h"
#include "core/backup/backup_info.h"
#include "core/backup/backup_locations.h"
#include "core/backup/folder_listing.h"
#include "core/backup/info_plist.h"

namespace scrivel::cli {
namespace {

struct BackupsOptions {
  std::string backupsRoot;  // empty: the default backups root
  bool json = false;
};

void printBackup(const BackupInfo& info, bool json) {
  if (json) {
    std::printf("{\"displayName\":%s,\"lastBackupDate\":%s,\"serialNumber\":%s,\"phoneNumber\":%s,"
                "\"encrypted\":%s,\"folderPath\":%s}\n",
                JsonString(info.displayName).c_str(), JsonString(info.lastBackupDate).c_str(),
                JsonString(info.serialNumber).c_str(), JsonString(info.phoneNumber).c_str(),
                info.encrypted ? "true" : "false", JsonString(info.folderPath).c_str());
    return;
  }
  std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", TerminalText(info.displayName).c_str(), TerminalText(info.lastBackupDate).c_str(),
              TerminalText(info.serialNumber).c_str(), TerminalText(info.phoneNumber).c_str(),
              info.encrypted ? "encrypted" : "not encrypted", TerminalText(info.folderPath).c_str());
}

int runBackups(BackupsOptions options) {
  if (options.backupsRoot.empty()) options.backupsRoot = BackupsRootIn(DefaultAppDataFolder());

  FolderListing listing;
  if (!ListFolder(options.backupsRoot, listing)) {
    std::fprintf(stderr, "scrivel-cli backups: cannot read the backups folder '%s'\n",
                 options.backupsRoot.c_str());
    return 1;
  }
  std::vector<BackupInfo> backups;
  std::vector<std::string> problems;
  ReadAllBackupInfo(listing.entries, backups, &problems);
  for (const BackupInfo& info : backups) printBackup(info, options.json);
  for (const std::string& problem : problems) {
    std::fprintf(stderr, "scrivel-cli backups: skipped: %s\n", TerminalText(problem).c_str());
  }
  return 0;
}

}  // namespace

void defineBackups(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<BackupsOptions>();
  command.footer("Lists the iPhone backups in DIR (default: the sync software's backup folder\n"
                 "under the application-data folder), one per line: display name, last backup\n"
                 "date, serial number, phone number, encrypted or not, folder, separated by tabs\n"
                 "(tabs, line breaks and other control characters inside a field are escaped).");
  command.add_option("--backups-root", options->backupsRoot, "folder that holds one folder per backup")->type_name("DIR");
  command.add_flag("--json", options->json, "one JSON object per line instead");
  command.callback([options, &exitCode] { exitCode = runBackups(*options); });
}

}  // namespace scrivel::cli
