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
#include <cstdint>
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
  // How long a silent device is waited for, counted in the device library's
  // receive timeout (30 seconds each), before it counts as stalled and the
  // backup ends with kDeviceGone: between messages (the device may prepare
  // for a while), and inside a file stream (where it has nothing to prepare).
  int idleReceivesMax = 10;
  int idleStreamReadsMax = 2;
  // Bytes free on the disk of `root`; empty: what the file system says.
  // Asked before each file the device sends and when the device asks; a
  // figure below kFreeSpaceReserve ends the backup with kDiskFull. Tests
  // give a figure of their own to fill the disk on cue.
  std::function<std::uint64_t(const std::filesystem::path& root)> freeSpace;
};

// Bytes the backup leaves free on the disk of its root, so that a disk
// that fills up ends the backup before the rest of the system runs short.
inline constexpr std::uint64_t kFreeSpaceReserve = 64ull << 20;

struct BackupOutcome {
  DeviceInfo info;                      // the device backed up
  std::filesystem::path backupFolder;   // root/udid; removed again when the backup failed
  std::string deviceError;              // the device's own "ErrorDescription" when it ended the backup
};

// Backs up the device of `request` into request.root/udid. Returns success;
// kCancelled or the progress callback's answer; kDeviceGone (-1) when the
// device disappeared, stalled, asked to cancel the sync, or `stop` was
// raised; a DeviceError (trust needed, passcode, backup refused, sync lock
// busy, the disk of the root full, ...); or a system error (the root cannot
// be created, a file cannot be written). On any failure the partial backup folder is removed. The sync
// lock is released and every device client closed on every path.
[[nodiscard]] std::error_code BackUpDevice(const BackupRequest& request, BackupOutcome& outcome);

}  // namespace scrivel::device
