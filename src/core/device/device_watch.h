// Device detection on a thread of its own: the connected devices are listed
// once a second (ListDevices, device_list.h) and each listing that differs
// from the one before is handed to a listener. A front end uses it so that
// no call into the device library ever runs on its user-interface thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/device/device_info.h"

namespace scrivel::device {

// One listing: `status` is DeviceError::kSupportMissing when the USB
// multiplexing daemon cannot be reached (then `devices` is empty), else
// success with the devices in the multiplexer's order.
struct DeviceListing {
  std::error_code status;
  std::vector<ListedDevice> devices;

  bool operator==(const DeviceListing&) const = default;
};

class DeviceWatch {
 public:
  // Called on the watch's thread with each new listing; the first listing
  // after SetActive(true) is always reported.
  using Listener = std::function<void(const DeviceListing& listing)>;

  static constexpr std::chrono::milliseconds kDefaultInterval{1000};

  explicit DeviceWatch(Listener listener, std::chrono::milliseconds interval = kDefaultInterval);
  // Stops the thread and joins it: waits at most for the listing in
  // progress, which the device library's own timeouts bound.
  ~DeviceWatch();
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  // Starts listing (the thread is created on first use) or pauses it. Never
  // waits: a listing in progress when the watch is paused finishes on its
  // own and is not reported. While paused no device is contacted, so a
  // device backup can hold the device alone.
  void SetActive(bool active);
  bool active() const;

 private:
  void run();

  Listener m_listener;
  std::chrono::milliseconds m_interval;
  mutable std::mutex m_lock;
  std::condition_variable m_wake;
  bool m_active = false;          // under m_lock
  bool m_stopRequested = false;   // under m_lock
  unsigned m_activation = 0;      // under m_lock; counts the calls that made the watch active
  std::thread m_thread;           // last: started after every member it uses exists
};

}  // namespace scrivel::device
