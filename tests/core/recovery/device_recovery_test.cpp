// CDeviceRecovery against the simulated phone: the device's backup is made
// in the temporary backup root and scanned through the local source, so a
// scan of the device finds what a scan of the same files on disk finds; an
// encrypted device backup needs its password; the backup goes with the source.
#include "core/recovery/device_recovery.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "core/backup/backup_engine.h"
#include "core/backup/info_plist.h"
#include "core/common/result_codes.h"
#include "core/recovery/scan_sequence.h"
#include "fixtures/backup_encryptor.h"
#include "fixtures/sample_backup.h"
#include "fixtures/simulated_phone/simulated_phone_process.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

constexpr char kUdid[] = "00008110-000A1B2C3D4E5F60";
constexpr char kPassword[] = "secret";

// How many items each category holds, in the order of the results tree.
std::vector<std::size_t> countsOf(const ScanResults& results) {
  std::size_t messages = 0;
  for (const auto& [handle, list] : results.messages) messages += list.size();
  std::size_t chats = 0;
  for (const auto& [session, list] : results.whatsApp) chats += list.size();
  return {results.cameraRoll.size(), results.photoStream.size(), results.appFiles.size(), messages,
          results.messageAttachments.size(), results.contacts.size(), results.calls.size(), results.notes.size(),
          chats, results.whatsAppFiles.size()};
}

class DeviceRecoveryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = fs::temp_directory_path() / ("scrivel-device-recovery-" + std::to_string(std::random_device{}()));
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "plain", {}, nullptr));
    fixtures::BackupEncryptionOptions encryption;
    encryption.password = kPassword;
    ASSERT_FALSE(fixtures::EncryptBackup(s_root / "plain", s_root / "encrypted", encryption));
  }
  static void TearDownTestSuite() { fs::remove_all(s_root); }

  void SetUp() override { m_engine = std::make_unique<BackupEngine>(s_root / "appdata", s_root / "no-backups-root"); }
  void TearDown() override { m_engine.reset(); }

  // Scans `sample` as it lies on disk.
  ScanResults scanOnDisk(const std::string& sample, const std::string& password) {
    BackupInfo info;
    EXPECT_FALSE(ReadBackupInfo(s_root / sample, info));
    m_engine->SelectBackup(info);
    CLocalBackupRecovery source((s_root / "disk-root").string() + "/");
    EXPECT_FALSE(source.Attach(m_engine.get()));
    ScanResults results;
    ScanObserver observer;
    EXPECT_FALSE(RunScanSequence(source, password, results, observer));
    return results;
  }

  static fs::path s_root;
  std::unique_ptr<BackupEngine> m_engine;
};

fs::path DeviceRecoveryTest::s_root;

TEST_F(DeviceRecoveryTest, ScanOfTheDeviceMatchesTheSameBackupOnDisk) {
  const struct {
    const char* sample;
    bool encrypts;
    std::string password;
  } cases[] = {{"plain", false, ""}, {"encrypted", true, kPassword}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sample);
    testing::SimulatedDevice device{.udid = kUdid, .name = "Anna's iPhone", .encrypts = c.encrypts};
    testing::SimulatedBackup backup;
    backup.folder = (s_root / c.sample).string();
    const testing::SimulatedPhoneProcess phone({device}, backup);
    ASSERT_TRUE(phone.Running());

    const fs::path temporaryRoot = s_root / "device-root";
    ScanResults fromDevice;
    {
      CDeviceRecovery source(temporaryRoot.string() + "/", "");
      ASSERT_FALSE(source.Attach(m_engine.get()));
      ScanObserver observer;
      ASSERT_FALSE(RunScanSequence(source, c.password, fromDevice, observer));
      EXPECT_EQ(source.BackupFolder(), temporaryRoot / "device" / kUdid);
      EXPECT_FALSE(source.IsLocalBackup());
    }
    EXPECT_FALSE(fs::exists(temporaryRoot / "device"));  // the backup goes with the source
    EXPECT_EQ(countsOf(fromDevice), countsOf(scanOnDisk(c.sample, c.password)));
    EXPECT_FALSE(fromDevice.contacts.empty());
  }
}

TEST_F(DeviceRecoveryTest, AnEncryptedDeviceBackupAsksForTheRightPasswordWithoutASecondBackup) {
  testing::SimulatedDevice device{.udid = kUdid, .name = "Anna's iPhone", .encrypts = true};
  testing::SimulatedBackup backup;
  backup.folder = (s_root / "encrypted").string();
  auto phone = std::make_unique<testing::SimulatedPhoneProcess>(std::vector<testing::SimulatedDevice>{device}, backup);
  ASSERT_TRUE(phone->Running());
  CDeviceRecovery source((s_root / "device-root").string() + "/", kUdid);
  ASSERT_FALSE(source.Attach(m_engine.get()));
  ScanResults results;
  ScanObserver observer;
  EXPECT_EQ(RunScanSequence(source, "not the password", results, observer), kWrongPassword);
  EXPECT_TRUE(results.contacts.empty());

  // The next try reads the backup already made: the device may be gone by then.
  phone.reset();
  EXPECT_FALSE(RunScanSequence(source, kPassword, results, observer));
  EXPECT_FALSE(results.contacts.empty());
}

}  // namespace
}  // namespace scrivel
