#include "core/device/device_info.h"

#include <charconv>

namespace scrivel::device {

bool IsNewLayoutVersion(std::string_view productVersion) {
  constexpr int kLastOldLayoutMajor = 9;
  int major = 0;
  const auto [end, error] = std::from_chars(productVersion.data(), productVersion.data() + productVersion.size(), major);
  static_cast<void>(end);
  return error == std::errc() && major > kLastOldLayoutMajor;
}

std::string DeviceLabel(const DeviceInfo& info) {
  std::string inside = info.deviceClass;
  if (!info.productVersion.empty()) inside += (inside.empty() ? "" : " ") + info.productVersion;
  std::string label = info.deviceName.empty() ? info.udid : info.deviceName;
  if (!inside.empty()) label += " (" + inside + ")";
  return label;
}

}  // namespace scrivel::device
