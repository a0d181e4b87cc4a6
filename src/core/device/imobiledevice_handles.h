// Owning handles for libimobiledevice clients, and the mapping of lockdown
// errors onto DeviceError. Internal to src/core/device: only the files that
// speak to libimobiledevice (imobiledevice_*.cpp) include this header, so no
// other part of the core sees a libimobiledevice type.
#pragma once

#include <memory>
#include <system_error>
#include <type_traits>

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

namespace scrivel::device {

struct IdeviceDeleter {
  void operator()(idevice_t device) const { idevice_free(device); }
};
using IdevicePtr = std::unique_ptr<std::remove_pointer_t<idevice_t>, IdeviceDeleter>;

struct LockdownDeleter {
  void operator()(lockdownd_client_t client) const { lockdownd_client_free(client); }
};
using LockdownPtr = std::unique_ptr<std::remove_pointer_t<lockdownd_client_t>, LockdownDeleter>;

struct DeviceListDeleter {
  void operator()(idevice_info_t* list) const { idevice_device_list_extended_free(list); }
};
using DeviceListPtr = std::unique_ptr<idevice_info_t, DeviceListDeleter>;

// What a failed lockdown request means for the person: trust needed,
// passcode locked, pairing refused, device gone, or a plain lockdown failure.
[[nodiscard]] std::error_code LockdownFailure(lockdownd_error_t error) noexcept;

}  // namespace scrivel::device
