// scrivel-cli device list against the simulated phone, and the command
// line's uniform answers to --help, unknown options and missing commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <random>
#include <regex>

#include "cli_runner.h"
#include "fixtures/backup_encryptor.h"
#include "fixtures/sample_backup.h"
#include "fixtures/simulated_phone/simulated_phone_process.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

using testing::RunCli;
using testing::SimulatedDevice;
using testing::SimulatedPhoneProcess;

const fs::path kAppData = fs::temp_directory_path();

TEST(CliDevice, ListShowsEachDeviceWithItsState) {
  SimulatedDevice anna{.udid = "00008110-000A1B2C3D4E5F60", .name = "Anna's iPhone", .encrypts = true};
  SimulatedDevice ben{.udid = "00008110-0000000000000002", .name = "Ben", .version = "16.0", .behaviour = "passcode"};
  const SimulatedPhoneProcess phone({anna, ben});
  ASSERT_TRUE(phone.Running());

  const testing::CommandResult json = RunCli("device list --json", kAppData);
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.output,
            "{\"udid\":\"00008110-000A1B2C3D4E5F60\",\"name\":\"Anna's iPhone\",\"class\":\"iPhone\","
            "\"version\":\"17.4.1\",\"encryptsBackups\":true,\"state\":\"ready\",\"problem\":null}\n"
            "{\"udid\":\"00008110-0000000000000002\",\"name\":\"Ben\",\"class\":\"iPhone\",\"version\":\"16.0\","
            "\"encryptsBackups\":null,\"state\":\"passcode-locked\",\"problem\":\"The device is locked. Unlock it "
            "with its passcode.\"}\n");

  const testing::CommandResult text = RunCli("device list", kAppData);
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_NE(text.output.find("00008110-000A1B2C3D4E5F60\tAnna's iPhone\tiPhone\t17.4.1\tencrypts backups\tready\n"),
            std::string::npos)
      << text.output;
}

TEST(CliDevice, UnreachableDaemonIsExitFourWithHowToInstall) {
  ::setenv("USBMUXD_SOCKET_ADDRESS", "127.0.0.1:1", 1);
  const testing::CommandResult result = RunCli("device list", kAppData, "", true);
  ::unsetenv("USBMUXD_SOCKET_ADDRESS");
  EXPECT_EQ(result.exitCode, 4);
  EXPECT_NE(result.output.find("usbmuxd"), std::string::npos) << result.output;
}

// The JSON of a scan with its "source" value left out, so a scan of the
// device and a scan of the same files on disk can be compared.
std::string withoutSource(const std::string& json) {
  const std::size_t start = json.find("\"source\":");
  const std::size_t end = json.find(",\"result\"");
  if (start == std::string::npos || end == std::string::npos) return json;
  return json.substr(0, start) + json.substr(end + 1);
}

// A simulated backup service that uploads `folder`.
testing::SimulatedBackup backupOf(const fs::path& folder, const std::string& fault = "none") {
  testing::SimulatedBackup backup;
  backup.folder = folder.string();
  backup.fault = fault;
  return backup;
}

class CliDeviceScanTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = fs::temp_directory_path() / ("scrivel-cli-device-" + std::to_string(std::random_device{}()));
    fixtures::SampleBackupOptions legacy;
    legacy.layout = fixtures::StoreLayout::Legacy;
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "modern", {}, nullptr));
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "legacy", legacy, nullptr));
    fixtures::BackupEncryptionOptions encryption;
    encryption.password = "secret";
    ASSERT_FALSE(fixtures::EncryptBackup(s_root / "modern", s_root / "encrypted", encryption));
    fs::create_directories(s_root / "appdata");
  }
  static void TearDownTestSuite() { fs::remove_all(s_root); }
  static fs::path s_root;
};

fs::path CliDeviceScanTest::s_root;

TEST_F(CliDeviceScanTest, ScanOfTheDeviceFindsWhatAScanOfTheSameFilesFinds) {
  const struct {
    const char* sample;
    bool encrypts;
    const char* passwordOption;
  } cases[] = {{"modern", false, ""}, {"legacy", false, ""}, {"encrypted", true, " --password-stdin"}};
  const fs::path appData = s_root / "appdata";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sample);
    const fs::path sample = s_root / c.sample;
    const SimulatedDevice device{.udid = "00008110-000A1B2C3D4E5F60", .name = "Anna's iPhone", .encrypts = c.encrypts};
    const SimulatedPhoneProcess phone({device}, backupOf(sample));
    ASSERT_TRUE(phone.Running());
    const std::string password = c.encrypts ? "secret" : "";
    const testing::CommandResult fromDevice =
        RunCli(std::string("device scan --json --no-progress") + c.passwordOption, appData, password);
    const testing::CommandResult fromDisk =
        RunCli("scan '" + sample.string() + "' --json --no-progress" + c.passwordOption, appData, password);
    ASSERT_EQ(fromDevice.exitCode, 0) << RunCli("device scan --no-progress", appData, password, true).output;
    EXPECT_EQ(fromDisk.exitCode, 0);
    EXPECT_EQ(fromDevice.output.rfind("{\"source\":\"00008110-000A1B2C3D4E5F60\"", 0), 0u) << fromDevice.output;
    EXPECT_EQ(withoutSource(fromDevice.output), withoutSource(fromDisk.output));
    EXPECT_TRUE(std::regex_search(fromDevice.output, std::regex("\"items\":[1-9]"))) << "the sample holds records";
  }
  // Nothing of the device backups is left in the application's folders.
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(appData)) {
    EXPECT_EQ(entry.path().string().find("00008110-000A1B2C3D4E5F60"), std::string::npos) << entry.path();
  }
}

TEST_F(CliDeviceScanTest, KeepBackupKeepsItAndAFailedBackupSaysWhy) {
  const fs::path kept = s_root / "kept";
  {
    const SimulatedDevice device{.udid = "00008110-000A1B2C3D4E5F60", .name = "Anna's iPhone"};
    const SimulatedPhoneProcess phone({device}, backupOf(s_root / "modern"));
    ASSERT_TRUE(phone.Running());
    EXPECT_EQ(RunCli("device scan 00008110-000A1B2C3D4E5F60 --no-progress --keep-backup '" + kept.string() + "'",
                     s_root / "appdata").exitCode,
              0);
    EXPECT_TRUE(fs::is_regular_file(kept / "00008110-000A1B2C3D4E5F60" / "Manifest.db"));
    EXPECT_TRUE(fs::is_regular_file(kept / "00008110-000A1B2C3D4E5F60" / "Info.plist"));
  }
  {
    const SimulatedDevice device{.udid = "00008110-000A1B2C3D4E5F61", .name = "Ben"};
    const SimulatedPhoneProcess phone({device}, backupOf(s_root / "modern", "error"));
    ASSERT_TRUE(phone.Running());
    const testing::CommandResult failed = RunCli("device scan --no-progress", s_root / "appdata", "", true);
    EXPECT_EQ(failed.exitCode, 4);
    EXPECT_NE(failed.output.find("Not enough free space on the device"), std::string::npos) << failed.output;
  }
}

TEST(CliUsage, EveryCommandAnswersHelpAndRejectsWhatItDoesNotKnow) {
  const struct {
    const char* arguments;
    int exitCode;
    const char* expected;  // in standard output and error
  } cases[] = {
      {"--help", 0, "device"},
      {"help", 0, "backups"},
      {"--version", 0, "scrivel-cli "},
      {"", 1, "Usage"},
      {"frobnicate", 1, "frobnicate"},
      {"scan --help", 0, "--password-stdin"},
      {"export --help", 0, "--deleted-only"},
      {"sqlite --help", 0, "DB_FILE"},
      {"backups --help", 0, "--backups-root"},
      {"device list --help", 0, "--json"},
      {"device", 1, "list"},
      {"scan x --bogus", 1, "--bogus"},
      {"backups --json extra", 1, "extra"},
      {"export x", 1, "OUT_DIR"},
      {"export x y --category nonsense", 1, "nonsense"},
      {"export --category messages x y", 4, "not a backup"},  // --category takes one name, not SOURCE too
  };
  for (const auto& c : cases) {
    const testing::CommandResult result = RunCli(c.arguments, kAppData, "", true);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments << "\n" << result.output;
    EXPECT_NE(result.output.find(c.expected), std::string::npos) << c.arguments << "\n" << result.output;
  }
}

}  // namespace
}  // namespace scrivel
