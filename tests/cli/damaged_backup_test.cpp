// Backups with stored files that are missing, empty, replaced by a folder, a
// FIFO or a link, and exports into a folder that is read-only or full: the
// scan always finishes, says what it could not read, and finds everything
// else; the export says why a file could not be written.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "cli_runner.h"
#include "fixtures/json_reader.h"
#include "fixtures/sample_backup.h"
#include "fixtures/stored_databases.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

using testing::CommandResult;

CommandResult RunCli(const std::string& arguments, const fs::path& appData) {
  return testing::RunCli(arguments + " </dev/null", appData, "", true);
}

// Items per category and the "error" text of each, from `scan --json`.
struct ScanSummary {
  std::map<std::string, std::int64_t> items;
  std::map<std::string, std::string> errors;  // "" for null
  std::int64_t missingFiles = -1;
};

ScanSummary ScanJson(const fs::path& backup, const fs::path& appData, int* exitCode) {
  const CommandResult result = RunCli("scan '" + backup.string() + "' --json --no-progress", appData);
  *exitCode = result.exitCode;
  ScanSummary summary;
  fixtures::JsonValue root;
  const std::size_t start = result.output.find('{');
  if (start == std::string::npos || !fixtures::ParseJson(std::string_view(result.output).substr(start), &root)) {
    ADD_FAILURE() << "no JSON from the scan: " << result.output;
    return summary;
  }
  if (const fixtures::JsonValue* missing = root.Member("missing_files")) summary.missingFiles = missing->integer;
  if (const fixtures::JsonValue* categories = root.Member("categories")) {
    for (const auto& [name, category] : categories->members) {
      summary.items[name] = category.Member("items")->integer;
      const fixtures::JsonValue* error = category.Member("error");
      summary.errors[name] = error != nullptr && error->kind == fixtures::JsonValue::Kind::String ? error->text : "";
    }
  }
  return summary;
}

fs::path StoredPath(const fs::path& backup, const fixtures::StoredDatabase& database) {
  return fixtures::StoredFilePathIn(backup, fixtures::StoreLayout::Modern, database.fileId);
}

class DamagedBackupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = fs::temp_directory_path() / ("scrivel-damaged-" + std::to_string(std::random_device{}()));
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "sample", {}, nullptr));
    fs::remove(s_root / "sample" / fixtures::kGroundTruthFileName);
  }
  static void TearDownTestSuite() { fs::remove_all(s_root); }

  // A fresh copy of the sample, for one case to damage.
  static fs::path CopyOfSample(const std::string& name) {
    const fs::path copy = s_root / name;
    fs::copy(s_root / "sample", copy, fs::copy_options::recursive);
    return copy;
  }

  static fs::path s_root;
};

fs::path DamagedBackupTest::s_root;

TEST_F(DamagedBackupTest, ScanGoesOnPastStoredFilesItCannotReadAndSaysWhy) {
  int exitCode = -1;
  const ScanSummary intact = ScanJson(s_root / "sample", s_root / "appdata", &exitCode);
  ASSERT_EQ(exitCode, 0);
  for (const auto& [name, error] : intact.errors) EXPECT_EQ(error, "") << name;

  using Damage = std::function<void(const fs::path& file)>;
  const Damage remove = [](const fs::path& file) { fs::remove(file); };
  const Damage empty = [](const fs::path& file) { fs::resize_file(file, 0); };
  const Damage folder = [](const fs::path& file) {
    fs::remove(file);
    fs::create_directory(file);
  };
  // A FIFO would block a plain open() for ever: the scan must not wait on it.
  const Damage fifo = [](const fs::path& file) {
    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  };
  // A link to a file outside the backup is never followed.
  const Damage link = [this](const fs::path& file) {
    fs::copy_file(file, s_root / "outside.db", fs::copy_options::overwrite_existing);
    fs::remove(file);
    fs::create_symlink(s_root / "outside.db", file);
  };
  const struct {
    const char* name;
    const fixtures::StoredDatabase& database;
    const Damage& damage;
    const char* category;
    const char* words;           // what the category's error must say
    bool countsAsMissing;        // absent or empty files are counted in missing_files
  } cases[] = {
      {"sms.db missing", fixtures::kSmsDatabase, remove, "Messages", "message database is missing", true},
      {"call history empty", fixtures::kCallHistoryStoreDatabase, empty, "Call History", "is empty", true},
      {"notes a folder", fixtures::kNotesDatabase, folder, "Notes", "is a folder", false},
      {"WhatsApp chats a FIFO", fixtures::kWhatsAppChatDatabase, fifo, "WhatsApp", "not a regular file", false},
      {"address book a link", fixtures::kAddressBookDatabase, link, "Contacts", "symbolic link", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path backup = CopyOfSample(std::string("case-") + c.name);
    c.damage(StoredPath(backup, c.database));
    const ScanSummary damaged = ScanJson(backup, s_root / "appdata", &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(damaged.items.at(c.category), 0);
    EXPECT_NE(damaged.errors.at(c.category).find(c.words), std::string::npos) << damaged.errors.at(c.category);
    EXPECT_EQ(damaged.missingFiles, intact.missingFiles + (c.countsAsMissing ? 1 : 0));
    // Everything else is found as in the intact backup. The messages lose
    // only their names when the address book is gone.
    for (const auto& [name, count] : intact.items) {
      if (name == c.category) continue;
      EXPECT_EQ(damaged.items.at(name), count) << name;
    }
  }
}

TEST_F(DamagedBackupTest, ExportOfADamagedBackupNamesWhatWasNotRecovered) {
  const fs::path backup = CopyOfSample("export-missing-sms");
  fs::remove(StoredPath(backup, fixtures::kSmsDatabase));
  const CommandResult result =
      RunCli("export '" + backup.string() + "' '" + (s_root / "out-missing").string() + "' --no-progress",
             s_root / "appdata");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("Messages: Not recovered: the message database is missing from the backup"),
            std::string::npos)
      << result.output;
  EXPECT_TRUE(fs::exists(s_root / "out-missing" / "index.html"));
}

// A small file system of our own: full after a few pages, or read-only.
// Mounting needs root (as in CI); elsewhere the test is skipped.
class SmallFileSystem {
 public:
  SmallFileSystem(const fs::path& folder, const char* options) : m_folder(folder) {
    fs::create_directories(folder);
    m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options) == 0;
  }
  ~SmallFileSystem() {
    if (m_mounted) ::umount(m_folder.c_str());
  }
  bool Mounted() const { return m_mounted; }
  bool MakeReadOnly() { return ::mount("tmpfs", m_folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

 private:
  fs::path m_folder;
  bool m_mounted = false;
};

TEST_F(DamagedBackupTest, ExportIntoAFullOrReadOnlyFolderSaysWhy) {
  const struct {
    const char* name;
    bool readOnly;
    const char* words;  // the operating system's own words
  } cases[] = {
      {"full", false, "No space left on device"},
      {"read-only", true, "Read-only file system"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SmallFileSystem small(s_root / (std::string("small-") + c.name), "size=64k");
    if (!small.Mounted()) {
      GTEST_SKIP() << "cannot mount a small file system here (not root)";
    }
    if (c.readOnly) {
      ASSERT_TRUE(small.MakeReadOnly());
    }
    const fs::path out = s_root / (std::string("small-") + c.name) / "export";
    if (!c.readOnly) fs::create_directories(out);
    const CommandResult result =
        RunCli("export '" + (s_root / "sample").string() + "' '" + out.string() + "' --no-progress", s_root / "appdata");
    EXPECT_NE(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find(c.words), std::string::npos) << result.output;
    // Never mistaken for a file that ended early, or a cancel.
    EXPECT_EQ(result.output.find("ended early"), std::string::npos);
    EXPECT_EQ(result.output.find("cancel"), std::string::npos);
  }
}

}  // namespace
}  // namespace scrivel
