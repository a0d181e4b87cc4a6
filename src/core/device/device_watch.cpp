#include "core/device/device_watch.h"

#include <optional>
#include <utility>

#include "core/device/device_list.h"

namespace scrivel::device {

DeviceWatch::DeviceWatch(Listener listener, std::chrono::milliseconds interval)
    : m_listener(std::move(listener)), m_interval(interval) {}

DeviceWatch::~DeviceWatch() {
  {
    std::lock_guard guard(m_lock);
    m_stopRequested = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void DeviceWatch::SetActive(bool active) {
  {
    std::lock_guard guard(m_lock);
    if (m_active == active) return;
    m_active = active;
    if (active) ++m_activation;
  }
  m_wake.notify_all();
  if (active && !m_thread.joinable()) m_thread = std::thread([this] { run(); });
}

bool DeviceWatch::active() const {
  std::lock_guard guard(m_lock);
  return m_active;
}

void DeviceWatch::run() {
  std::optional<DeviceListing> last;  // the listing reported last in this activation
  unsigned reportedActivation = 0;
  std::unique_lock lock(m_lock);
  for (;;) {
    m_wake.wait(lock, [this] { return m_active || m_stopRequested; });
    if (m_stopRequested) return;
    const unsigned activation = m_activation;
    lock.unlock();

    DeviceListing listing;
    listing.status = ListDevices(listing.devices);

    lock.lock();
    if (m_stopRequested) return;
    // A listing that was under way while the watch was paused is dropped.
    if (m_active && activation == m_activation) {
      const bool fresh = reportedActivation != activation || !last || !(*last == listing);
      if (fresh) {
        reportedActivation = activation;
        last = listing;
        lock.unlock();
        m_listener(listing);
        lock.lock();
      }
    }
    m_wake.wait_for(lock, m_interval, [this, activation] { return m_stopRequested || m_activation != activation; });
  }
}

}  // namespace scrivel::device
