// scrivel-cli device: the connected iOS devices. "device list" prints one
// line (or one JSON object per line with --json) per device attached by USB;
// "device scan" backs a device up into the temporary backup root, scans that
// backup like "scan" and prints what "scan" prints.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_scan_runner.h"
#include "cli/terminal_text.h"
#include "core/backup/backup_locations.h"
#include "core/common/json_text.h"
#include "core/common/result_codes.h"
#include "core/device/device_backup.h"
#include "core/device/device_error.h"
#include "core/device/device_list.h"
#include "core/recovery/temporary_root.h"

namespace scrivel::cli {
namespace {

using device::DeviceError;

// Exit codes of "device list".
constexpr int kExitListed = 0;
constexpr int kExitNoDeviceSupport = 4;  // usbmuxd cannot be reached

struct DeviceListOptions {
  bool json = false;
};

// A short word for a device's state, for scripts: "ready" when its lockdown
// session opened, else what blocks it.
std::string stateWord(const std::error_code& state) {
  if (!state) return "ready";
  if (state.category() != device::DeviceCategory()) return "error";
  switch (static_cast<DeviceError>(state.value())) {
    case DeviceError::kTrustNeeded: return "trust-needed";
    case DeviceError::kPasscodeLocked: return "passcode-locked";
    case DeviceError::kPairingRefused: return "pairing-refused";
    case DeviceError::kNoDevice: return "gone";
    case DeviceError::kSupportMissing:
    case DeviceError::kLockdownFailed:
    case DeviceError::kServiceFailed:
    case DeviceError::kBackupRefused:
    case DeviceError::kSyncLockBusy:
    case DeviceError::kDiskFull: break;
  }
  return "error";
}

void printDevice(const device::ListedDevice& listed, bool json) {
  const device::DeviceInfo& info = listed.info;
  const bool known = !listed.state;  // the encryption setting is read only in a session
  if (json) {
    std::printf("{\"udid\":%s,\"name\":%s,\"class\":%s,\"version\":%s,\"encryptsBackups\":%s,\"state\":%s,"
                "\"problem\":%s}\n",
                JsonString(info.udid).c_str(), JsonString(info.deviceName).c_str(), JsonString(info.deviceClass).c_str(),
                JsonString(info.productVersion).c_str(), known ? (info.willEncrypt ? "true" : "false") : "null",
                JsonString(stateWord(listed.state)).c_str(),
                listed.state ? JsonString(listed.state.message()).c_str() : "null");
    return;
  }
  const char* encryption = !known ? "encryption unknown" : info.willEncrypt ? "encrypts backups" : "does not encrypt backups";
  std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", TerminalText(info.udid).c_str(), TerminalText(info.deviceName).c_str(),
              TerminalText(info.deviceClass).c_str(), TerminalText(info.productVersion).c_str(), encryption,
              listed.state ? listed.state.message().c_str() : "ready");
}

int runDeviceList(const DeviceListOptions& options) {
  std::vector<device::ListedDevice> devices;
  if (const std::error_code error = device::ListDevices(devices); error) {
    std::fprintf(stderr, "scrivel-cli device list: %s\n", error.message().c_str());
    return kExitNoDeviceSupport;
  }
  for (const device::ListedDevice& listed : devices) printDevice(listed, options.json);
  return kExitListed;
}

struct DeviceScanOptions {
  std::string udid;        // empty: the first device
  ScanRunOptions run;      // sourceFolder is filled with the backup folder
  bool json = false;
  bool records = false;
  std::string keepBackup;  // folder that keeps the backup; empty: the backup is deleted after the scan
};

// Ctrl-C during the backup raises this; the backup then ends and cleans up.
std::atomic<bool> g_backupStop{false};

extern "C" void onBackupStopSignal(int) { g_backupStop = true; }

// The folder the device backup goes into: DIR of --keep-backup, else a
// "device" folder in the temporary backup root (chosen by free space).
std::filesystem::path backupRootFor(const DeviceScanOptions& options) {
  if (!options.keepBackup.empty()) return options.keepBackup;
  const std::filesystem::path appData = DefaultAppDataFolder();
  if (appData.empty()) return {};
  const std::string workFolder = WorkFolderIn(appData).string() + "/";
  const std::string root = ChooseTemporaryRoot(appData.string() + "/", workFolder);
  return root.empty() ? std::filesystem::path() : std::filesystem::path(root) / "device";
}

// Removes the backup root of a run when it is ours (not --keep-backup) and empty.
void removeIfEmpty(const std::filesystem::path& root, const DeviceScanOptions& options) {
  if (!options.keepBackup.empty()) return;
  std::error_code ignored;
  if (std::filesystem::is_empty(root, ignored)) std::filesystem::remove(root, ignored);
}

int runDeviceScan(DeviceScanOptions options) {
  constexpr const char* kCommand = "scrivel-cli device scan";
  device::BackupRequest request;
  request.udid = options.udid;
  request.root = backupRootFor(options);
  if (request.root.empty()) {
    std::fprintf(stderr, "%s: no folder with room for the backup (set HOME or XDG_DATA_HOME)\n", kCommand);
    return kExitOpenFailed;
  }
  const bool showProgress = options.run.showProgress && ::isatty(STDERR_FILENO);
  request.progress = [showProgress](int percent) {
    if (showProgress) std::fprintf(stderr, "\rBacking up the device: %3d%%", percent);
    return std::error_code();
  };
  g_backupStop = false;
  request.stop = &g_backupStop;
  std::signal(SIGINT, onBackupStopSignal);
  std::signal(SIGTERM, onBackupStopSignal);

  device::BackupOutcome outcome;
  const std::error_code backedUp = device::BackUpDevice(request, outcome);
  if (showProgress) std::fputs("\n", stderr);
  if (backedUp) {
    if (g_backupStop) {
      std::fprintf(stderr, "%s: cancelled; the partial backup was removed\n", kCommand);
      return kExitCancelled;
    }
    removeIfEmpty(request.root, options);
    std::fprintf(stderr, "%s: the backup failed: %s%s%s\n", kCommand, backedUp.message().c_str(),
                 outcome.deviceError.empty() ? "" : " The device says: ", TerminalText(outcome.deviceError).c_str());
    return kExitOpenFailed;
  }

  options.run.sourceFolder = outcome.backupFolder.string();
  int exitCode = kExitOk;
  {
    ScanRun run;
    exitCode = RunCliScan(kCommand, options.run, run);
    if (exitCode == kExitOk || exitCode == kExitCancelled) {
      PrintScanReport(outcome.info.udid, run, options.json, options.records);
    }
  }
  if (options.keepBackup.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(outcome.backupFolder, ignored);
    removeIfEmpty(request.root, options);
  } else {
    std::fprintf(stderr, "%s: the backup is kept in '%s'\n", kCommand, outcome.backupFolder.c_str());
  }
  return exitCode;
}

void defineDeviceScan(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<DeviceScanOptions>();
  command.add_option("UDID", options->udid, "the device to scan (see 'device list'); default: the first one");
  command.add_flag("--password-stdin", options->run.passwordFromStdin,
                   "read the backup password from standard input (for a device that encrypts its backups)");
  CLI::Option* json = command.add_flag("--json", options->json, "print one JSON object instead of lines");
  command.add_flag("--records", options->records, "with --json: every item with all its fields")->needs(json);
  command.add_flag_callback("--no-progress", [options] { options->run.showProgress = false; },
                            "no progress on standard error");
  command.add_option("--keep-backup", options->keepBackup, "keep the device's backup in DIR/UDID")->type_name("DIR");
  command.footer("Backs the device up into the temporary backup folder (or DIR), scans that backup\n"
                 "like 'scan' and prints what 'scan' prints; the backup is deleted afterwards unless\n"
                 "--keep-backup is given. The device's settings, its backup encryption included,\n"
                 "are never changed: a device that encrypts its backups needs the backup password.\n\n"
                 "Exit codes: 0 scanned, 1 bad arguments, 2 cancelled, 3 wrong or missing password,\n"
                 "4 the device could not be backed up or its backup could not be opened.");
  command.callback([options, &exitCode] { exitCode = runDeviceScan(*options); });
}

void defineDeviceList(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<DeviceListOptions>();
  command.add_flag("--json", options->json,
                   "one JSON object per line: udid, name, class, version, encryptsBackups\n"
                   "(null when unknown), state, problem");
  command.footer("Lists the iOS devices connected by USB, one per line: identifier, name, class,\n"
                 "version, whether backups are encrypted, and whether the device is ready or\n"
                 "waits for Trust or its passcode, separated by tabs. Changes nothing on a device.\n\n"
                 "Exit codes: 0 listed (also when no device is connected), 1 bad arguments,\n"
                 "4 the USB multiplexing service (usbmuxd) cannot be reached.");
  command.callback([options, &exitCode] { exitCode = runDeviceList(*options); });
}

}  // namespace

void defineDevice(CLI::App& command, int& exitCode) {
  command.description("Works with an iOS device connected by USB.");
  command.require_subcommand(1);
  defineDeviceList(*command.add_subcommand("list", "list the connected iOS devices"), exitCode);
  defineDeviceScan(*command.add_subcommand("scan", "back a device up and scan the backup like 'scan'"), exitCode);
}

}  // namespace scrivel::cli
