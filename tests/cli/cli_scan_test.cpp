// Runs the built scrivel-cli on sample backups, as scripts and users do.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "core/common/result_codes.h"
#include "fixtures/backup_encryptor.h"
#include "cli_runner.h"
#include "fixtures/sample_backup.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

using testing::CommandResult;

// Runs scrivel-cli; `errors` keeps its standard error in the output.
CommandResult runCli(const std::string& arguments, const fs::path& appData, const std::string& input = "",
                     bool errors = false) {
  return testing::RunCli(arguments, appData, input, errors);
}

class CliScanTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = fs::temp_directory_path() / ("scrivel-cli-" + std::to_string(std::random_device{}()));
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "backups" / "plain", {}, nullptr));
    fixtures::BackupEncryptionOptions encryption;
    encryption.password = "secret";
    ASSERT_FALSE(fixtures::EncryptBackup(s_root / "backups" / "plain", s_root / "backups" / "locked", encryption));
  }
  static void TearDownTestSuite() { fs::remove_all(s_root); }
  static fs::path s_root;
};

fs::path CliScanTest::s_root;

TEST_F(CliScanTest, ScanPrintsEveryCategoryAsJson) {
  const CommandResult result = runCli("scan '" + (s_root / "backups/plain").string() + "' --json", s_root / "appdata");
  EXPECT_EQ(result.exitCode, 0);
  for (const char* category : {"\"Camera Roll\":{\"items\":", "\"Photo Stream\"", "\"App Photos\"", "\"App Videos\"",
                               "\"Messages\"", "\"Messages Attachments\"", "\"Contacts\"", "\"Call History\"",
                               "\"Notes\"", "\"WhatsApp\"", "\"WhatsApp Attachments\""}) {
    EXPECT_NE(result.output.find(category), std::string::npos) << category;
  }
  EXPECT_EQ(result.output.find("\"records\""), std::string::npos);
  EXPECT_EQ(result.output.rfind("{\"source\":", 0), 0u);
}

TEST_F(CliScanTest, ExitCodesTellWhatHappened) {
  const std::string locked = "scan '" + (s_root / "backups/locked").string() + "' --password-stdin --no-progress";
  const struct {
    std::string arguments;
    std::string input;
    int exitCode;
    const char* what;
  } cases[] = {
      {locked, "secret", 0, "right password"},
      {locked, "not it", 3, "wrong password"},
      {"scan '" + (s_root / "backups/locked").string() + "' --no-progress", "", 3, "encrypted, no password given"},
      {"scan '" + (s_root / "appdata").string() + "'", "", 4, "not a backup"},
      {"scan", "", 1, "no source"},
      {"scan x --records", "", 1, "--records without --json"},
  };
  for (const auto& c : cases) EXPECT_EQ(runCli(c.arguments, s_root / "appdata", c.input).exitCode, c.exitCode) << c.what;
}

TEST_F(CliScanTest, BackupsListsBothSampleBackups) {
  const CommandResult result = runCli("backups --json --backups-root '" + (s_root / "backups").string() + "'",
                                      s_root / "appdata");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("\"encrypted\":true"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("\"encrypted\":false"), std::string::npos) << result.output;
}

TEST_F(CliScanTest, BackupsPrintsControlCharactersOfDeviceNamesEscaped) {
  // A backup whose Info.plist names the device with terminal commands.
  const fs::path root = s_root / "hostile-names";
  fs::create_directories(root / "evil");
  std::ifstream in(s_root / "backups" / "plain" / "Info.plist", std::ios::binary);
  std::string plist((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t key = plist.find("<key>Display Name</key>");
  ASSERT_NE(key, std::string::npos);
  const std::size_t start = plist.find("<string>", key) + std::string("<string>").size();
  plist.replace(start, plist.find("</string>", start) - start, "Ann\x1b]0;owned\x07\x1b[2J\tPhone");
  std::ofstream(root / "evil" / "Info.plist", std::ios::binary) << plist;

  const CommandResult result = runCli("backups --backups-root '" + root.string() + "'", s_root / "appdata");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output.find_first_of("\x1b\x07"), std::string::npos) << result.output;
  EXPECT_EQ(result.output.rfind("Ann\\x1b]0;owned\\x07\\x1b[2J\\tPhone\t", 0), 0u) << result.output;
}

TEST_F(CliScanTest, BackupsNamesAHostileInfoPlistAndListsTheOthers) {
  // 200,000 nested arrays overflowed the stack inside the plist library.
  const fs::path root = s_root / "hostile-plist";
  fs::create_directories(root / "deep");
  fs::copy(s_root / "backups" / "plain", root / "plain", fs::copy_options::recursive);
  std::string deep = "<plist>";
  for (int i = 0; i < 200000; ++i) deep += "<array>";
  std::ofstream(root / "deep" / "Info.plist") << deep;

  const CommandResult result = runCli("backups --backups-root '" + root.string() + "'", s_root / "appdata", "", true);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find((root / "plain").string()), std::string::npos) << result.output;
  EXPECT_NE(result.output.find((root / "deep" / "Info.plist").string() + "' cannot be used: it is nested more"),
            std::string::npos)
      << result.output;
  EXPECT_EQ(runCli("scan '" + (root / "deep").string() + "' --no-progress", s_root / "appdata").exitCode, 4);
}

TEST_F(CliScanTest, LeftoversOfAKilledRunAreDeletedAndReported) {
  // What a run killed during a scan of an encrypted backup leaves: decrypted
  // copies in the temporary backup root.
  const fs::path appData = s_root / "killed-run";
  const fs::path work = appData / "VantoriciOSRecovery";
  const fs::path decrypted = work / "Vantoric_tmp_backup" / "VantoricBackupPath";
  fs::create_directories(decrypted);
  for (const char* name : {"3d0d7e5fb2ce288813306e4d4636395e047a3d28", "31bb7ba8914766d4ba40d6dfb6113c8b614be442"}) {
    std::ofstream(decrypted / name) << "decrypted bytes";
  }

  const CommandResult result =
      runCli("scan '" + (s_root / "backups/plain").string() + "' --no-progress", appData, "", true);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("deleted 2 decrypted or temporary files that an earlier run left behind"),
            std::string::npos)
      << result.output;
  EXPECT_TRUE(fs::is_empty(decrypted));
  // Only their owner may look into the folders that hold decrypted data.
  for (const fs::path& folder : {work, work / "Vantoric_tmp_backup"}) {
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all) << folder;
  }
}

}  // namespace
}  // namespace scrivel
