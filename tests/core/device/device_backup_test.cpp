// BackUpDevice against the simulated phone, which uploads a generated sample
// backup the way a device does (Snapshot folder, move into place, removes)
// and can misbehave: drop the connection in the middle of a file, or end the
// backup with an error of its own. Every run must release the sync lock and
// leave no partial backup folder.
#include "core/device/device_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/backup/info_plist.h"
#include "core/common/result_codes.h"
#include "core/device/device_error.h"
#include "fixtures/sample_backup.h"
#include "fixtures/simulated_phone/simulated_phone_process.h"

namespace scrivel::device {
namespace {

namespace fs = std::filesystem;

using testing::SimulatedBackup;
using testing::SimulatedDevice;
using testing::SimulatedPhoneProcess;

constexpr char kUdid[] = "00008110-000A1B2C3D4E5F60";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The sync-lock events and notifications the simulated phone logged.
std::vector<std::string> logLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::istringstream in(readFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class DeviceBackupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = fs::temp_directory_path() / ("scrivel-device-backup-" + std::to_string(std::random_device{}()));
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_dir / "sample", {}, nullptr));
    fs::remove(s_dir / "sample" / fixtures::kGroundTruthFileName);
  }
  static void TearDownTestSuite() { fs::remove_all(s_dir); }

  void SetUp() override { fs::remove_all(s_dir / "run"); }

  // Backs up one simulated device whose backup behaves as `fault`.
  std::error_code backUp(const std::string& fault, BackupOutcome& outcome, const BackupRequest& base = {}) {
    SimulatedDevice device{.udid = kUdid, .name = "Anna's iPhone"};
    SimulatedBackup backup;
    backup.folder = (s_dir / "sample").string();
    backup.fault = fault;
    backup.logPath = (s_dir / "run" / "phone.log").string();
    fs::create_directories(s_dir / "run");
    const SimulatedPhoneProcess phone({device}, backup);
    EXPECT_TRUE(phone.Running());
    BackupRequest request = base;
    request.root = s_dir / "run" / "root";
    return BackUpDevice(request, outcome);
  }

  static fs::path s_dir;
};

fs::path DeviceBackupTest::s_dir;

TEST_F(DeviceBackupTest, UploadLandsEveryFileAndReleasesTheLock) {
  std::vector<int> reported;
  BackupRequest request;
  request.progress = [&](int percent) {
    reported.push_back(percent);
    return std::error_code();
  };
  BackupOutcome outcome;
  ASSERT_FALSE(backUp("none", outcome, request));
  EXPECT_EQ(outcome.info.udid, kUdid);
  EXPECT_EQ(outcome.backupFolder, s_dir / "run" / "root" / kUdid);

  std::size_t compared = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(s_dir / "sample")) {
    if (!entry.is_regular_file() || entry.path().filename() == "Info.plist") continue;
    const fs::path relative = fs::relative(entry.path(), s_dir / "sample");
    EXPECT_EQ(readFile(outcome.backupFolder / relative), readFile(entry.path())) << relative;
    ++compared;
  }
  EXPECT_GT(compared, 10u);
  EXPECT_FALSE(fs::exists(outcome.backupFolder / "Snapshot"));  // moved out of, then removed
  BackupInfo info;  // the Info.plist the host wrote reads like that of a local backup
  ASSERT_FALSE(ReadBackupInfo(outcome.backupFolder, info));
  EXPECT_EQ(info.displayName, "Anna's iPhone");
  ASSERT_FALSE(reported.empty());
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(reported.back(), 99);

  const std::vector<std::string> log = logLines(s_dir / "run" / "phone.log");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(std::count(log.begin(), log.end(), "lock"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "unlock"), 1);
  EXPECT_EQ(log.back(), "post com.apple.itunes-mobdev.syncDidFinish");
  // The device had the manifest copied, then asked for the copy (sent back
  // whole) and for a file that does not exist (an error for that file, and
  // the multi-status answer).
  for (const char* line : {"copy 0", "download Manifest.copy same", "download never-written error", "download-status -13"}) {
    EXPECT_EQ(std::count(log.begin(), log.end(), line), 1) << line;
  }
}

TEST_F(DeviceBackupTest, FailuresRemoveThePartialFolderAndReleaseTheLock) {
  BackupRequest cancelAtHalf;
  cancelAtHalf.progress = [](int percent) { return percent >= 50 ? make_error_code(kCancelled) : std::error_code(); };
  BackupRequest diskFillsUp;
  diskFillsUp.freeSpace = [calls = std::make_shared<int>(0)](const fs::path&) -> std::uint64_t {
    return ++*calls <= 10 ? std::uint64_t{1} << 40 : kFreeSpaceReserve - 1;  // full after ten files
  };
  const struct {
    const char* fault;
    BackupRequest request;
    std::error_code expected;
    const char* what;
  } cases[] = {
      {"vanish", {}, make_error_code(kDeviceGone), "connection drops in the middle of a file"},
      {"cancel", {}, make_error_code(kDeviceGone), "the person cancels the sync on the device"},
      {"error", {}, DeviceError::kBackupRefused, "the device ends the backup with an error"},
      {"none", cancelAtHalf, make_error_code(kCancelled), "cancelled from the progress callback"},
      {"none", diskFillsUp, DeviceError::kDiskFull, "the disk fills up in the middle of the backup"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BackupOutcome outcome;
    EXPECT_EQ(backUp(c.fault, outcome, c.request), c.expected);
    EXPECT_FALSE(fs::exists(s_dir / "run" / "root" / kUdid));
    EXPECT_TRUE(fs::is_empty(s_dir / "run" / "root"));
    const std::vector<std::string> log = logLines(s_dir / "run" / "phone.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), "unlock"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "closed-with-open-files"), 0);
    if (std::string(c.fault) == "error") {
      EXPECT_EQ(outcome.deviceError, "Not enough free space on the device");
    }
    if (std::string(c.fault) == "cancel") {
      EXPECT_EQ(std::count(log.begin(), log.end(), "relay com.apple.itunes-client.syncCancelRequest"), 1);
    }
    fs::remove_all(s_dir / "run");
  }
}

// A device that answers nothing after the request: the backup gives up after
// its bounded number of empty receives (each waits the library's timeout).
TEST_F(DeviceBackupTest, AStalledDeviceIsGivenUpOn) {
  BackupRequest request;
  request.idleReceivesMax = 0;
  BackupOutcome outcome;
  EXPECT_EQ(backUp("stall", outcome, request), kDeviceGone);
  EXPECT_TRUE(fs::is_empty(s_dir / "run" / "root"));
  const std::vector<std::string> log = logLines(s_dir / "run" / "phone.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), "unlock"), 1);
}

// A device that stops sending in the middle of a file and keeps the
// connection open: after one empty read (the library's 30-second timeout)
// the backup ends.
TEST_F(DeviceBackupTest, AStallInsideAFileEndsTheBackupInBoundedTime) {
  BackupRequest request;
  request.idleStreamReadsMax = 0;
  BackupOutcome outcome;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(backUp("stall-file", outcome, request), kDeviceGone);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(45));
  EXPECT_TRUE(fs::is_empty(s_dir / "run" / "root"));
  const std::vector<std::string> log = logLines(s_dir / "run" / "phone.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), "stalled"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "unlock"), 1);
}

TEST_F(DeviceBackupTest, AnUntrustedDeviceIsNotBackedUp) {
  const SimulatedPhoneProcess phone({SimulatedDevice{.udid = kUdid, .name = "Anna's iPhone", .behaviour = "trust"}});
  ASSERT_TRUE(phone.Running());
  BackupRequest request;
  request.root = s_dir / "run" / "root";
  BackupOutcome outcome;
  EXPECT_EQ(BackUpDevice(request, outcome), DeviceError::kTrustNeeded);
  EXPECT_TRUE(fs::is_empty(request.root));
}

}  // namespace
}  // namespace scrivel::device
