// ListDevices (device_list.h) over libimobiledevice: the multiplexer's device
// list, then for each USB device a lockdown session and its identity values.
#include "core/device/device_list.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/common/plist_values.h"
#include "core/device/device_error.h"
#include "core/device/imobiledevice_handles.h"

namespace scrivel::device {
namespace {

// The label lockdown records as the client's name.
constexpr char kClientLabel[] = "scrivel";
constexpr char kBackupDomain[] = "com.apple.mobile.backup";

// One lockdown value of the default domain, or nothing when the device does
// not give it (unpaired devices give only a few values).
std::optional<std::string> readStringValue(lockdownd_client_t client, const char* key) {
  plist_t raw = nullptr;
  if (lockdownd_get_value(client, nullptr, key, &raw) != LOCKDOWN_E_SUCCESS) return std::nullopt;
  const PlistPtr value(raw);
  if (plist_get_node_type(raw) != PLIST_STRING) return std::nullopt;
  char* text = nullptr;
  plist_get_string_val(raw, &text);
  if (text == nullptr) return std::nullopt;
  std::string result(text);
  std::free(text);
  return result;
}

void readIdentity(lockdownd_client_t client, DeviceInfo& info) {
  info.deviceName = readStringValue(client, "DeviceName").value_or("");
  info.deviceClass = readStringValue(client, "DeviceClass").value_or("");
  info.productVersion = readStringValue(client, "ProductVersion").value_or("");
  info.newLayout = IsNewLayoutVersion(info.productVersion);
}

// "WillEncrypt" of the backup domain; a read that succeeds without a value
// means the device does not encrypt its backups.
std::error_code readWillEncrypt(lockdownd_client_t client, bool& willEncrypt) {
  plist_t raw = nullptr;
  const lockdownd_error_t error = lockdownd_get_value(client, kBackupDomain, "WillEncrypt", &raw);
  if (error != LOCKDOWN_E_SUCCESS) return LockdownFailure(error);
  const PlistPtr value(raw);
  willEncrypt = false;
  if (raw != nullptr && plist_get_node_type(raw) == PLIST_BOOLEAN) {
    std::uint8_t flag = 0;
    plist_get_bool_val(raw, &flag);
    willEncrypt = flag != 0;
  }
  return {};
}

ListedDevice readDevice(const char* udid) {
  ListedDevice listed;
  listed.info.udid = udid;
  idevice_t rawDevice = nullptr;
  if (idevice_new_with_options(&rawDevice, udid, IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS) {
    listed.state = DeviceError::kNoDevice;
    return listed;
  }
  const IdevicePtr device(rawDevice);
  lockdownd_client_t rawClient = nullptr;
  const lockdownd_error_t error = lockdownd_client_new_with_handshake(device.get(), &rawClient, kClientLabel);
  const LockdownPtr client(rawClient);
  if (error != LOCKDOWN_E_SUCCESS) {
    listed.state = LockdownFailure(error);
    // Without a session a device still tells some of its identity.
    lockdownd_client_t rawPlain = nullptr;
    if (lockdownd_client_new(device.get(), &rawPlain, kClientLabel) == LOCKDOWN_E_SUCCESS) {
      const LockdownPtr plain(rawPlain);
      readIdentity(plain.get(), listed.info);
    }
    return listed;
  }
  readIdentity(client.get(), listed.info);
  listed.state = readWillEncrypt(client.get(), listed.info.willEncrypt);
  return listed;
}

}  // namespace

std::error_code LockdownFailure(lockdownd_error_t error) noexcept {
  switch (error) {
    case LOCKDOWN_E_SUCCESS: return {};
    case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
    case LOCKDOWN_E_INVALID_HOST_ID: return DeviceError::kTrustNeeded;
    case LOCKDOWN_E_PASSWORD_PROTECTED: return DeviceError::kPasscodeLocked;
    case LOCKDOWN_E_USER_DENIED_PAIRING: return DeviceError::kPairingRefused;
    case LOCKDOWN_E_MUX_ERROR: return DeviceError::kNoDevice;
    default: return DeviceError::kLockdownFailed;
  }
}

std::error_code ListDevices(std::vector<ListedDevice>& devices) {
  devices.clear();
  idevice_info_t* rawList = nullptr;
  int count = 0;
  // libimobiledevice answers "no device" when it cannot reach usbmuxd at all;
  // an empty list from a reachable daemon is success with count 0.
  if (idevice_get_device_list_extended(&rawList, &count) != IDEVICE_E_SUCCESS) return DeviceError::kSupportMissing;
  const DeviceListPtr list(rawList);
  for (int i = 0; i < count && list; ++i) {
    const idevice_info_t entry = list.get()[i];
    if (entry == nullptr || entry->udid == nullptr || entry->conn_type != CONNECTION_USBMUXD) continue;
    devices.push_back(readDevice(entry->udid));
  }
  return {};
}

}  // namespace scrivel::device
