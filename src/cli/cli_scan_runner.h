// Runs a whole scan of one backup folder for the command line: reads the
// password (standard input or a hidden prompt), opens the backup, runs the
// category scans with a progress bar on standard error, and turns Ctrl-C into
// a cancel that stops the decryption tool and removes temporary files.
// Shared by "scan" and "export".
#pragma once

#include <system_error>

#include <memory>
#include <string>

#include "core/backup/backup_engine.h"
#include "core/recovery/iphone_recovery_parse.h"
#include "core/recovery/scan_results.h"

namespace scrivel::cli {

// Exit codes of the commands that scan.
inline constexpr int kExitOk = 0;             // the source opened (whatever the categories found)
inline constexpr int kExitUsage = 1;          // bad arguments
inline constexpr int kExitCancelled = 2;      // Ctrl-C
inline constexpr int kExitWrongPassword = 3;  // the password does not open the backup
inline constexpr int kExitOpenFailed = 4;     // not a backup, unreadable manifest, decryption failed

struct ScanRunOptions {
  std::string sourceFolder;        // the backup folder
  bool passwordFromStdin = false;  // read the password from standard input
  bool showProgress = true;        // draw a progress bar when standard error is a terminal
};

// The scan's engine, source and results; the source stays usable for copies
// and CSV dumps after the scan (export).
struct ScanRun {
  std::unique_ptr<BackupEngine> engine;
  std::unique_ptr<IPhoneRecoveryParse> source;
  ScanResults results;
  std::error_code result;  // RunScanSequence's result
};

// Scans options.sourceFolder into run and returns one of the exit codes
// above, after printing a message for any failure. `command` prefixes
// messages ("scrivel-cli scan").
[[nodiscard]] int RunCliScan(const char* command, const ScanRunOptions& options, ScanRun& run);

// Prints what "scan" prints for a finished run (cli_scan.cpp): per category
// the items and deleted records, as lines, or as one JSON object naming
// `source` (with every item when `records`).
void PrintScanReport(const std::string& source, const ScanRun& run, bool json, bool records);

// True once Ctrl-C was pressed during RunCliScan or afterwards (export).
bool CancelRequested();

}  // namespace scrivel::cli
