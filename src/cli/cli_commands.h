// The command table of scrivel-cli. A command is a name, a one-line summary
// for --help and an entry point that receives its own argument vector
// (argv[0] is the command name).
#pragma once

#include <span>

namespace scrivel::cli {

struct Command {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);
};

// All commands, in the order --help lists them.
std::span<const Command> commands();

// scrivel-cli backups [--backups-root DIR] [--json] (cli_backups.cpp)
int runBackups(int argc, char** argv);

// scrivel-cli sqlite DB_FILE [TABLE ...] [--json] (cli_sqlite.cpp)
int runSqlite(int argc, char** argv);

// scrivel-cli scan SOURCE [--password-stdin] [--json [--records]] [--no-progress] (cli_scan.cpp)
int runScan(int argc, char** argv);

// scrivel-cli export SOURCE OUT_DIR [--password-stdin] [--deleted-only] [--category NAME ...] [--json]
// [--no-progress] (cli_export.cpp)
int runExport(int argc, char** argv);

}  // namespace scrivel::cli
