// scrivel-cli backups: lists the backups found in the backups root, one line
// (or one JSON object per line with --json) per backup.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
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

void printBackupsUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: scrivel-cli backups [--backups-root DIR] [--json]\n"
               "Lists the iPhone backups in DIR (default: the sync software's backup folder\n"
               "under the application-data folder), one per line: display name, last backup\n"
               "date, serial number, phone number, encrypted or not, folder, separated by tabs\n"
               "(tabs, line breaks and other control characters inside a field are escaped).\n\n"
               "  --backups-root DIR  folder that holds one folder per backup\n"
               "  --json              one JSON object per line instead\n");
}

struct BackupsOptions {
  std::filesystem::path backupsRoot;
  bool json = false;
  bool help = false;
};

// Returns false (after a message) for an unknown option or a missing value.
bool parseBackupsOptions(int argc, char** argv, BackupsOptions& options) {
  constexpr std::string_view kRootOption = "--backups-root";
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--json") {
      options.json = true;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == kRootOption && i + 1 < argc) {
      options.backupsRoot = argv[++i];
    } else if (argument.starts_with(kRootOption) && argument.size() > kRootOption.size() &&
               argument[kRootOption.size()] == '=') {
      options.backupsRoot = std::string(argument.substr(kRootOption.size() + 1));
    } else {
      std::fprintf(stderr, "scrivel-cli backups: unexpected argument '%s'\n", argv[i]);
      return false;
    }
  }
  return true;
}

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

}  // namespace

int runBackups(int argc, char** argv) {
  BackupsOptions options;
  if (!parseBackupsOptions(argc, argv, options)) {
    printBackupsUsage(stderr);
    return 1;
  }
  if (options.help) {
    printBackupsUsage(stdout);
    return 0;
  }
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

}  // namespace scrivel::cli
