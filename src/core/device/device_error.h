// Errors of the device link, in a category of their own (not the project's
// result codes, not the operating system's): what keeps this computer from
// reading a connected device, each with a sentence a person can act on.
#pragma once

#include <system_error>

namespace scrivel::device {

enum class DeviceError : int {
  kSupportMissing = 1,    // the USB multiplexing daemon (usbmuxd) cannot be reached
  kNoDevice = 2,          // no device is connected, or the one asked for is gone
  kTrustNeeded = 3,       // the device shows "Trust This Computer?" and waits for an answer
  kPasscodeLocked = 4,    // the device is locked with its passcode and must be unlocked first
  kPairingRefused = 5,    // the person declined to trust this computer on the device
  kLockdownFailed = 6,    // the device's lockdown service refused or did not answer as expected
  kServiceFailed = 7,     // a device service (notification proxy, files, backup) could not be started
  kBackupRefused = 8,     // the device ended the backup with an error of its own
  kSyncLockBusy = 9,      // another program holds the device's sync lock
  kDiskFull = 10,         // the disk of the backup root filled up (or nearly) during the backup
};

// The category of DeviceError; name "device".
[[nodiscard]] const std::error_category& DeviceCategory() noexcept;

[[nodiscard]] std::error_code make_error_code(DeviceError error) noexcept;

}  // namespace scrivel::device

template <>
struct std::is_error_code_enum<scrivel::device::DeviceError> : std::true_type {};
