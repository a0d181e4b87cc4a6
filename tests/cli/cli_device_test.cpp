// scrivel-cli device list against the simulated phone, and the command
// line's uniform answers to --help, unknown options and missing commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli_runner.h"
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
