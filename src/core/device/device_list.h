// Finding the connected iOS devices through the USB multiplexing daemon
// (usbmuxd) and reading who they are. The implementation
// (imobiledevice_list.cpp) is the only place that speaks to libimobiledevice
// for this; callers see only the types of device_info.h and device_error.h.
#pragma once

#include <system_error>
#include <vector>

#include "core/device/device_info.h"

namespace scrivel::device {

// Fills `devices` (cleared first) with every device attached by USB, in the
// order the multiplexer lists them. For each one it opens a lockdown session
// (pairing when the device has no pair record yet, which makes the device ask
// the person to trust this computer) and reads name, class, version and
// whether backups are encrypted; a device that cannot be read yet is listed
// with its state (trust needed, passcode locked, ...).
// Returns DeviceError::kSupportMissing when usbmuxd cannot be reached; an
// empty list is success. Never changes a setting of a device.
[[nodiscard]] std::error_code ListDevices(std::vector<ListedDevice>& devices);

}  // namespace scrivel::device
