// Identity of a connected iOS device as lockdown reports it, and what a
// device listing says about each device.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace scrivel::device {

struct DeviceInfo {
  std::string udid;            // unique device identifier, from the USB multiplexer
  std::string productVersion;  // lockdown "ProductVersion", e.g. "17.4.1"; empty when unread
  std::string deviceName;      // lockdown "DeviceName", UTF-8 as the device gives it; empty when unread
  std::string deviceClass;     // lockdown "DeviceClass", e.g. "iPhone"; empty when unread
  bool willEncrypt = false;    // "WillEncrypt" of domain com.apple.mobile.backup: backups are encrypted
  bool newLayout = false;      // backups store files in two-character subfolders (iOS 10 and later)

  bool operator==(const DeviceInfo&) const = default;
};

// One device the multiplexer lists. `state` is empty when the device is
// paired and its lockdown session opened; otherwise a DeviceError
// (device_error.h) such as kTrustNeeded or kPasscodeLocked, and `info` holds
// what could be read without a session (at least the udid).
struct ListedDevice {
  DeviceInfo info;
  std::error_code state;

  bool operator==(const ListedDevice&) const = default;
};

// True when the leading number of `productVersion` is above 9: such devices
// write backups in the subfolder layout. "9.3.5" gives false, "10.0" true.
[[nodiscard]] bool IsNewLayoutVersion(std::string_view productVersion);

// "Anna's iPhone (iPhone 17.4)": name, then class and version in brackets,
// leaving out what is unknown.
[[nodiscard]] std::string DeviceLabel(const DeviceInfo& info);

}  // namespace scrivel::device
