// The backup store on complete sample backups of both layouts, built by the
// fixture library with real SQLite databases and property lists.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "backup_test_support.h"
#include "core/backup/backup_engine.h"
#include "core/backup/stored_databases.h"
#include "core/common/result_codes.h"
#include "fixtures/sample_backup.h"

namespace scrivel {
namespace {

using fixtures::StoreLayout;

// Path -> size of every file below `folder`, to show that nothing changed.
std::map<std::filesystem::path, std::uintmax_t> Snapshot(const std::filesystem::path& folder) {
  std::map<std::filesystem::path, std::uintmax_t> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    files[entry.path()] = entry.is_regular_file() ? entry.file_size() : 0;
  }
  return files;
}

class SampleBackupTest : public ::testing::TestWithParam<StoreLayout> {};

TEST_P(SampleBackupTest, ListsReadsAndResolvesEveryStoredFile) {
  testing::TempFolder temp;
  const std::filesystem::path root = temp.Path() / "Backup";
  const std::filesystem::path backup = root / "00008030-sample";
  fixtures::SampleBackupOptions options;
  options.layout = GetParam();
  fixtures::GroundTruth truth;
  ASSERT_FALSE(fixtures::BuildSampleBackup(backup, options, &truth));
  const auto before = Snapshot(root);

  BackupEngine engine(temp.Path() / "data", root);
  std::vector<BackupInfo> infos;
  ASSERT_FALSE(engine.ReadAllBackupInfo(infos));
  ASSERT_EQ(1u, infos.size());
  const BackupInfo& info = infos[0];
  EXPECT_EQ("Zoë’s iPhone", info.displayName);
  EXPECT_EQ("+1 (408) 555-0100", info.phoneNumber);
  EXPECT_TRUE(info.serialNumber.starts_with("F2LT")) << info.serialNumber;
  EXPECT_TRUE(std::regex_match(info.lastBackupDate, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
      << info.lastBackupDate;
  EXPECT_FALSE(info.encrypted);
  EXPECT_EQ(backup.string(), info.folderPath);

  engine.SelectBackup(info);
  ASSERT_FALSE(engine.LoadManifest());
  EXPECT_EQ(GetParam() == StoreLayout::Modern, engine.HasManifestDb());
  const Manifest& manifest = engine.GetManifest();
  ASSERT_FALSE(truth.files.empty());
  for (const fixtures::GroundTruthFile& file : truth.files) {
    const ManifestEntry* entry = manifest.FindByFileId(file.fileId);
    ASSERT_NE(nullptr, entry) << file.relativePath;
    EXPECT_EQ(file.domain + "-" + file.relativePath, entry->name);
    EXPECT_EQ(entry, manifest.FindByName(file.domain, file.relativePath));
    const std::filesystem::path stored = engine.StoredFilePath(file.fileId);
    EXPECT_EQ(fixtures::StoredFilePathIn(backup, GetParam(), file.fileId), stored);
    EXPECT_TRUE(std::filesystem::is_regular_file(stored)) << stored;
  }
  const ManifestEntry* sms = manifest.FindByName("HomeDomain-Library/SMS/sms.db");
  ASSERT_NE(nullptr, sms);
  EXPECT_EQ(kSmsFileId, sms->fileId);

  EXPECT_EQ(before, Snapshot(root));  // the backup was only read
}

INSTANTIATE_TEST_SUITE_P(Layouts, SampleBackupTest, ::testing::Values(StoreLayout::Modern, StoreLayout::Legacy),
                         [](const auto& info) { return info.param == StoreLayout::Modern ? "Modern" : "Legacy"; });

}  // namespace
}  // namespace scrivel
