// ListDevices against the simulated phone: the real libimobiledevice and
// libusbmuxd talk to simulated devices over loopback, so each lockdown state
// (paired, trust pending, passcode, refused, newly paired) is met as a real
// device would present it.
#include "core/device/device_list.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/common/result_codes.h"
#include "core/device/device_error.h"
#include "fixtures/simulated_phone/simulated_phone_process.h"

namespace scrivel::device {
namespace {

using testing::SimulatedDevice;
using testing::SimulatedPhoneProcess;

SimulatedDevice makeDevice(const std::string& udid, const std::string& behaviour, bool encrypts = false) {
  SimulatedDevice device;
  device.udid = udid;
  device.name = "Anna's iPhone";
  device.version = "17.4.1";
  device.encrypts = encrypts;
  device.behaviour = behaviour;
  return device;
}

TEST(DeviceList, EachLockdownStateIsReportedWithWhatCouldBeRead) {
  const struct {
    const char* behaviour;
    bool encrypts;
    std::error_code state;
  } cases[] = {
      {"paired", true, {}},
      {"paired", false, {}},
      {"accept", true, {}},  // pairs now, and the new pair record opens the session
      {"trust", false, DeviceError::kTrustNeeded},
      {"passcode", false, DeviceError::kPasscodeLocked},
      {"refuse", false, DeviceError::kPairingRefused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.behaviour) + (c.encrypts ? " encrypting" : ""));
    const SimulatedPhoneProcess phone({makeDevice("00008110-000A1B2C3D4E5F60", c.behaviour, c.encrypts)});
    ASSERT_TRUE(phone.Running());
    std::vector<ListedDevice> devices;
    ASSERT_FALSE(ListDevices(devices));
    ASSERT_EQ(devices.size(), 1u);
    const ListedDevice& listed = devices[0];
    EXPECT_EQ(listed.state, c.state) << listed.state.message();
    EXPECT_EQ(listed.info.udid, "00008110-000A1B2C3D4E5F60");
    // Class and version are given even before the device trusts the host.
    EXPECT_EQ(listed.info.deviceClass, "iPhone");
    EXPECT_EQ(listed.info.productVersion, "17.4.1");
    EXPECT_TRUE(listed.info.newLayout);
    EXPECT_EQ(listed.info.deviceName, "Anna's iPhone");
    if (!c.state) {
      EXPECT_EQ(listed.info.willEncrypt, c.encrypts);
    }
  }
}

TEST(DeviceList, DevicesComeInTheMultiplexersOrder) {
  SimulatedDevice ipad = makeDevice("00008110-0000000000000002", "trust");
  ipad.deviceClass = "iPad";
  ipad.version = "9.3.5";
  const SimulatedPhoneProcess phone({makeDevice("00008110-0000000000000001", "paired"), ipad});
  ASSERT_TRUE(phone.Running());
  std::vector<ListedDevice> devices;
  ASSERT_FALSE(ListDevices(devices));
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].info.udid, "00008110-0000000000000001");
  EXPECT_FALSE(devices[0].state);
  EXPECT_EQ(devices[1].info.deviceClass, "iPad");
  EXPECT_FALSE(devices[1].info.newLayout);
  EXPECT_EQ(devices[1].state, DeviceError::kTrustNeeded);
}

TEST(DeviceList, NoDeviceIsAnEmptyListAndNoDaemonIsSupportMissing) {
  {
    const SimulatedPhoneProcess phone({});
    ASSERT_TRUE(phone.Running());
    std::vector<ListedDevice> devices(1);
    EXPECT_FALSE(ListDevices(devices));
    EXPECT_TRUE(devices.empty());
  }
  // Port 1 on loopback: nothing listens there.
  ::setenv("USBMUXD_SOCKET_ADDRESS", "127.0.0.1:1", 1);
  std::vector<ListedDevice> devices;
  EXPECT_EQ(ListDevices(devices), DeviceError::kSupportMissing);
  ::unsetenv("USBMUXD_SOCKET_ADDRESS");
}

TEST(DeviceError, HasItsOwnCategoryDistinctFromProjectCodes) {
  const std::error_code trust = DeviceError::kTrustNeeded;
  EXPECT_STREQ(trust.category().name(), "device");
  EXPECT_NE(trust, make_error_code(static_cast<ResultCode>(3)));
  EXPECT_NE(std::error_code(DeviceError::kNoDevice), kCancelled);  // both are 2, never equal
  EXPECT_NE(trust.message().find("Trust"), std::string::npos);
}

TEST(DeviceInfo, LayoutFollowsTheLeadingVersionNumberAndLabelLeavesOutUnknowns) {
  const struct {
    const char* version;
    bool newLayout;
  } versions[] = {{"9.3.5", false}, {"10.0", true}, {"17.4.1", true}, {"", false}, {"x10", false}};
  for (const auto& v : versions) EXPECT_EQ(IsNewLayoutVersion(v.version), v.newLayout) << v.version;

  DeviceInfo info{.udid = "U1", .productVersion = "10.2", .deviceName = "Anna's iPhone", .deviceClass = "iPhone"};
  EXPECT_EQ(DeviceLabel(info), "Anna's iPhone (iPhone 10.2)");
  info.deviceName.clear();
  info.productVersion.clear();
  EXPECT_EQ(DeviceLabel(info), "U1 (iPhone)");
}

}  // namespace
}  // namespace scrivel::device
