#include "core/device/device_error.h"

#include <string>

namespace scrivel::device {
namespace {

class DeviceErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "device"; }

  std::string message(int value) const override {
    switch (static_cast<DeviceError>(value)) {
      case DeviceError::kSupportMissing:
        return "The USB multiplexing service (usbmuxd) is not running, so no device can be reached. "
               "Install the usbmuxd package of your distribution and connect the device again.";
      case DeviceError::kNoDevice:
        return "No iOS device is connected.";
      case DeviceError::kTrustNeeded:
        return "The device asks whether to trust this computer. Unlock it and tap Trust.";
      case DeviceError::kPasscodeLocked:
        return "The device is locked. Unlock it with its passcode.";
      case DeviceError::kPairingRefused:
        return "The device does not trust this computer. Connect it again and tap Trust.";
      case DeviceError::kLockdownFailed:
        return "The device did not answer as expected. Connect it again.";
      case DeviceError::kServiceFailed:
        return "A service of the device could not be started. Connect it again.";
      case DeviceError::kBackupRefused:
        return "The device stopped its backup with an error.";
      case DeviceError::kSyncLockBusy:
        return "Another program is syncing with the device. Close it and try again.";
      case DeviceError::kDiskFull:
        return "The disk that holds the temporary backup folder is full, so the backup was stopped and its "
               "partial copy removed. Free some space on it and try again.";
    }
    return "Unknown device error " + std::to_string(value) + ".";
  }
};

}  // namespace

const std::error_category& DeviceCategory() noexcept {
  static const DeviceErrorCategory category;
  return category;
}

std::error_code make_error_code(DeviceError error) noexcept {
  return {static_cast<int>(error), DeviceCategory()};
}

}  // namespace scrivel::device
