// Runs "scrivel-cli export" on a small sample backup and checks what lands
// in the export folder against what "scrivel-cli scan" counts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "core/common/result_codes.h"
#include "fixtures/sample_backup.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

class CliExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = fs::temp_directory_path() / ("scrivel-cli-export-" + std::to_string(std::random_device{}()));
    fixtures::SampleBackupOptions options;
    ASSERT_EQ(fixtures::BuildSampleBackup(s_dir / "backup", options, nullptr), std::error_code{});
  }
  static void TearDownTestSuite() { fs::remove_all(s_dir); }

  void SetUp() override {
    if (!fs::exists(Cli())) GTEST_SKIP() << "scrivel-cli is not built";
  }

  static fs::path Cli() { return fs::path(SCRIVEL_TEST_BIN_DIR) / "scrivel-cli"; }

  // Runs scrivel-cli with `arguments` (already quoted); returns its exit
  // code and puts standard output into *output, standard error into *errors.
  static int Run(const std::string& arguments, std::string* output = nullptr, std::string* errors = nullptr) {
    const fs::path log = s_dir / "stdout.txt";
    const fs::path errorLog = s_dir / "stderr.txt";
    const std::string command = "XDG_DATA_HOME='" + (s_dir / "data").string() + "' '" + Cli().string() + "' " +
                                arguments + " --no-progress > '" + log.string() + "' 2>'" + errorLog.string() + "'";
    const int status = std::system(command.c_str());
    if (output != nullptr) *output = Read(log);
    if (errors != nullptr) *errors = Read(errorLog);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
  }

  static std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

  // Items and deleted records of one category as "scan --json" counts them.
  static std::pair<int, int> ScanCounts(const std::string& scanJson, const std::string& category) {
    const std::regex pattern("\"" + category + "\":\\{\"items\":([0-9]+),\"deleted\":([0-9]+)");
    std::smatch match;
    if (!std::regex_search(scanJson, match, pattern)) return {-1, -1};
    return {std::stoi(match[1]), std::stoi(match[2])};
  }

  static std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
  }

  // The one folder below `folder` (the export stamp's).
  static fs::path OnlySubfolder(const fs::path& folder) {
    fs::path found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) found = entry.path();
    return found;
  }

  static fs::path s_dir;
};

fs::path CliExportTest::s_dir;

TEST_F(CliExportTest, ExportsEveryRecordTheScanFinds) {
  std::string scan;
  ASSERT_EQ(Run("scan " + Quoted(s_dir / "backup") + " --json", &scan), 0);
  const fs::path out = s_dir / "full";
  std::string summary;
  ASSERT_EQ(Run("export " + Quoted(s_dir / "backup") + " " + Quoted(out) + " --json", &summary), 0) << summary;

  EXPECT_NE(summary.find("failed: 0"), std::string::npos) << summary;
  EXPECT_NE(summary.find((out / "index.html").string()), std::string::npos);
  for (const char* folder : {"Camera Roll", "Message", "Contacts", "CallHistory", "Notes", "WhatsApp Message"}) {
    EXPECT_TRUE(fs::is_directory(out / folder)) << folder;
  }
  EXPECT_TRUE(fs::exists(out / "Message" / "sms.csv"));

  // Every contact and call the scan counted is a record of the export.
  const fs::path contacts = OnlySubfolder(out / "Contacts");
  EXPECT_EQ(static_cast<int>(Count(Read(contacts / "records.json"), "\"deleted\":")),
            ScanCounts(scan, "Contacts").first);
  EXPECT_TRUE(fs::exists(contacts / "Contacts.csv"));
  EXPECT_EQ(static_cast<int>(Count(Read(out / "CallHistory" / "records.json"), "\"deleted\":")),
            ScanCounts(scan, "Call History").first);
  EXPECT_EQ(static_cast<int>(Count(Read(out / "Message" / "records.json"), "\"deleted\":")),
            ScanCounts(scan, "Messages").first);
}

TEST_F(CliExportTest, DeletedOnlyAndCategoriesNarrowTheExport) {
  std::string scan;
  ASSERT_EQ(Run("scan " + Quoted(s_dir / "backup") + " --json", &scan), 0);
  const fs::path out = s_dir / "deleted";
  ASSERT_EQ(Run("export " + Quoted(s_dir / "backup") + " " + Quoted(out) +
                " --deleted-only --category contacts --category call-history,notes --json"),
            0);

  // A category gets its folder only when it has deleted records to export.
  std::set<std::string> expected = {"index.html"};
  if (ScanCounts(scan, "Contacts").second > 0) expected.insert("Contacts");
  if (ScanCounts(scan, "Call History").second > 0) expected.insert("CallHistory");
  if (ScanCounts(scan, "Notes").second > 0) expected.insert("Notes");
  std::set<std::string> top;
  for (const fs::directory_entry& entry : fs::directory_iterator(out)) top.insert(entry.path().filename());
  EXPECT_EQ(top, expected);

  ASSERT_GT(ScanCounts(scan, "Call History").second, 0) << "the sample holds deleted calls";
  const std::string calls = Read(out / "CallHistory" / "records.json");
  EXPECT_EQ(static_cast<int>(Count(calls, "\"deleted\":true")), ScanCounts(scan, "Call History").second);
  EXPECT_EQ(Count(calls, "\"deleted\":false"), 0u);
}

TEST_F(CliExportTest, RefusesToWriteInsideTheBackupAndRejectsUnknownCategories) {
  const auto listing = [] {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(s_dir / "backup")) {
      files.insert(entry.path().string());
    }
    return files;
  };
  const std::set<std::string> before = listing();
  EXPECT_EQ(Run("export " + Quoted(s_dir / "backup") + " " + Quoted(s_dir / "backup" / "out")), 1);
  EXPECT_EQ(Run("export " + Quoted(s_dir / "backup") + " " + Quoted(s_dir / "backup" / ".." / "backup")), 1);
  EXPECT_EQ(Run("export " + Quoted(s_dir / "backup") + " " + Quoted(s_dir / "x") + " --category voicemail"), 1);
  EXPECT_EQ(listing(), before);
  EXPECT_FALSE(fs::exists(s_dir / "x"));
}

TEST_F(CliExportTest, KeepsAnIndexHtmlAlreadyThereAndRefusesAFileAsOutDir) {
  const fs::path out = s_dir / "own-index";
  fs::create_directories(out);
  std::ofstream(out / "index.html") << "my own page";
  std::string summary;
  ASSERT_EQ(Run("export " + Quoted(s_dir / "backup") + " " + Quoted(out) + " --category notes", &summary), 0);
  EXPECT_EQ(Read(out / "index.html"), "my own page");
  EXPECT_NE(Read(out / "index(1).html").find("Notes"), std::string::npos);
  EXPECT_NE(summary.find("is left as it was"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Open " + (out / "index(1).html").string()), std::string::npos) << summary;

  // A file where the folder should be: one message, not one per item.
  const fs::path file = s_dir / "a-file";
  std::ofstream(file) << "x";
  std::string errors;
  EXPECT_EQ(Run("export " + Quoted(s_dir / "backup") + " " + Quoted(file), nullptr, &errors), 1);
  EXPECT_EQ(Count(errors, "\n"), 1u) << errors;
  EXPECT_NE(errors.find("is a file, not a folder"), std::string::npos) << errors;
  EXPECT_EQ(Read(file), "x");
}

}  // namespace
}  // namespace scrivel
