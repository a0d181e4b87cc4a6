// DeviceWatch against the simulated phone: listings arrive on the watch's
// thread, a listing that did not change is not reported again, a paused
// watch contacts nothing, and the watch ends cleanly while it waits.
#include "core/device/device_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/device_error.h"
#include "fixtures/simulated_phone/simulated_phone_process.h"

namespace scrivel::device {
namespace {

using namespace std::chrono_literals;
using testing::SimulatedDevice;
using testing::SimulatedPhoneProcess;

constexpr auto kInterval = 50ms;
constexpr auto kReportWait = 10s;

// Collects the listings a watch reports, for the test thread to wait on.
class Reports {
 public:
  DeviceWatch::Listener listener() {
    return [this](const DeviceListing& listing) {
      std::lock_guard guard(m_lock);
      m_listings.push_back(listing);
      m_changed.notify_all();
    };
  }
  // Waits until `count` listings arrived; false on timeout.
  bool waitFor(std::size_t count) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, kReportWait, [&] { return m_listings.size() >= count; });
  }
  std::vector<DeviceListing> listings() {
    std::lock_guard guard(m_lock);
    return m_listings;
  }

 private:
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<DeviceListing> m_listings;
};

TEST(DeviceWatch, ReportsTheFirstListingAndThenOnlyChanges) {
  const SimulatedPhoneProcess phone({SimulatedDevice{.udid = "00008110-0000000000000001", .name = "Anna's iPhone"}});
  ASSERT_TRUE(phone.Running());
  Reports reports;
  DeviceWatch watch(reports.listener(), kInterval);
  watch.SetActive(true);
  ASSERT_TRUE(reports.waitFor(1));
  std::this_thread::sleep_for(kInterval * 6);  // several more listings, all the same
  const std::vector<DeviceListing> listings = reports.listings();
  ASSERT_EQ(listings.size(), 1u);
  EXPECT_FALSE(listings[0].status);
  ASSERT_EQ(listings[0].devices.size(), 1u);
  EXPECT_EQ(listings[0].devices[0].info.deviceName, "Anna's iPhone");
  EXPECT_FALSE(listings[0].devices[0].state);

  // Paused and made active again: the listing is reported anew.
  watch.SetActive(false);
  EXPECT_FALSE(watch.active());
  watch.SetActive(true);
  ASSERT_TRUE(reports.waitFor(2));
  EXPECT_EQ(reports.listings()[1], listings[0]);
  watch.SetActive(false);
}

TEST(DeviceWatch, MissingSupportIsReportedAndTheWatchEndsWithoutWaitingOutItsInterval) {
  ::setenv("USBMUXD_SOCKET_ADDRESS", "127.0.0.1:1", 1);  // nothing listens on port 1
  Reports reports;
  auto watch = std::make_unique<DeviceWatch>(reports.listener(), 10s);
  watch->SetActive(true);
  ASSERT_TRUE(reports.waitFor(1));
  EXPECT_EQ(reports.listings()[0].status, DeviceError::kSupportMissing);
  EXPECT_TRUE(reports.listings()[0].devices.empty());
  // The thread now waits out its ten seconds; the destructor wakes it.
  const auto start = std::chrono::steady_clock::now();
  watch.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  ::unsetenv("USBMUXD_SOCKET_ADDRESS");
  EXPECT_EQ(reports.listings().size(), 1u);
}

}  // namespace
}  // namespace scrivel::device
