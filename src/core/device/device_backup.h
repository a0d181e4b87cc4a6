// A full backup of a connected device into a folder of ours, over the
// device's backup service (mobilebackup2): the device pushes its files and
// asks the host to create, move, remove, copy and list them; the host holds
// the device's sync lock meanwhile. The device's own settings are never
// changed: a device that encrypts its backups sends an encrypted backup,
// which is then opened like an encrypted local backup.
// The implementation (imobiledevice_backup.cpp) is the only place that
// speaks to libimobiledevice for this.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "core/device/device_info.h"

namespace scrivel::device {

struct BackupRequest {
  std::string udid;                 // the device to back up; empty: the first USB device
  std::filesystem::path root;       // the temporary backup root; the backup lands in root/udid
  // Called after each message of the device with the overall progress,
  // percent 0 to 100; a non-empty answer stops the backup with that result.
  std::function<std::error_code(int percent)> progress;
  const std::atomic<bool>* stop = nullptr;  // raised from another thread: the backup ends with kDeviceGone
  int idleReceivesMax = 10;         // receives in a row that bring nothing (each waits the library's timeout)
                                    // before the device counts as stalled and the backup ends with kDeviceGone
};

struct BackupOutcome {
  DeviceInfo info;                      // the device backed up
  std::filesystem::path backupFolder;   // root/udid; removed again when the backup failed
  std::string deviceError;              // the device's own "ErrorDescription" when it ended the backup
};

// Backs up the device of `request` into request.root/udid. Returns success;
// kCancelled or the progress callback's answer; kDeviceGone (-1) when the
// device disappeared, stalled, asked to cancel the sync, or `stop` was
// raised; a DeviceError (trust needed, passcode, backup refused, sync lock
// busy, ...); or a system error (the disk is full, the root cannot be
// created). On any failure the partial backup folder is removed. The sync
// lock is released and every device client closed on every path.
[[nodiscard]] std::error_code BackUpDevice(const BackupRequest& request, BackupOutcome& outcome);

}  // namespace scrivel::device
