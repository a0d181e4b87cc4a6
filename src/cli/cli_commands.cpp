#include "cli/cli_commands.h"

#include <vector>

namespace scrivel::cli {

// Each command adds one line here; its function lives in its own file
// (cli_<name>.cpp) and is declared in cli_commands.h.
std::span<const Command> commands() {
  static const std::vector<Command> kCommands = {
      {"backups", "list the iPhone backups on this computer", defineBackups},
      {"scan", "scan a backup and count what can be recovered, per category", defineScan},
      {"export", "scan a backup and export what it holds into a folder", defineExport},
      {"device", "list the connected iOS devices", defineDevice},
      {"sqlite", "list live and deleted rows of an SQLite database file", defineSqlite},
  };
  return kCommands;
}

}  // namespace scrivel::cli
