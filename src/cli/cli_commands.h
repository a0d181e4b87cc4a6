// The command table of scrivel-cli. A command is a name, a one-line summary
// for --help and a function that declares the command's options and
// arguments on its CLI11 subcommand and sets the callback that runs it. The
// callback stores the command's exit code in `exitCode`.
#pragma once

#include <span>

namespace CLI {
class App;
}

namespace scrivel::cli {

struct Command {
  const char* name;
  const char* summary;
  void (*define)(CLI::App& command, int& exitCode);
};

// All commands, in the order --help lists them.
std::span<const Command> commands();

// scrivel-cli backups [--backups-root DIR] [--json] (cli_backups.cpp)
void defineBackups(CLI::App& command, int& exitCode);

// scrivel-cli sqlite DB_FILE [TABLE ...] [--json] (cli_sqlite.cpp)
void defineSqlite(CLI::App& command, int& exitCode);

// scrivel-cli scan SOURCE [--password-stdin] [--json [--records]] [--no-progress] (cli_scan.cpp)
void defineScan(CLI::App& command, int& exitCode);

// scrivel-cli export SOURCE OUT_DIR [--password-stdin] [--deleted-only] [--category NAME ...] [--json]
// [--no-progress] (cli_export.cpp)
void defineExport(CLI::App& command, int& exitCode);

// scrivel-cli device list [--json] (cli_device.cpp)
void defineDevice(CLI::App& command, int& exitCode);

}  // namespace scrivel::cli
