#include "core/recovery/database_with_wal.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/backup/backup_engine.h"
#include "core/backup/backup_info.h"
#include "core/backup/file_id.h"
#include "core/sqlite/sqlite_reader.h"
#include "fixtures/backup_manifest.h"
#include "support/live_database.h"
#include "support/test_database.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;
using sqlite::testing::LiveDatabase;
using sqlite::testing::ReadBytes;
using sqlite::testing::TempFolder;
using sqlite::testing::WriteBytes;

constexpr const char* kDomain = "HomeDomain";
constexpr const char* kSmsPath = "Library/SMS/sms.db";

fixtures::ManifestFile StoredFile(const fs::path& backup, const std::string& relativePath,
                                  const std::vector<std::uint8_t>& bytes) {
  fixtures::ManifestFile file;
  file.domain = kDomain;
  file.relativePath = relativePath;
  file.fileId = ComputeFileId(kDomain, relativePath);
  file.size = bytes.size();
  file.protectionClass = 3;
  const fs::path stored = backup / file.fileId.substr(0, 2) / file.fileId;
  fs::create_directories(stored.parent_path());
  WriteBytes(stored, bytes);
  return file;
}

// A backup folder whose sms.db keeps its rows in its write-ahead log, with
// the log stored beside it in the manifest when `storeWal`.
void WriteBackup(const TempFolder& folder, const fs::path& backup, bool storeWal) {
  {
    LiveDatabase db(folder.Path("live.db"), 4096, "WAL");
    db.Exec("CREATE TABLE message(text TEXT); INSERT INTO message VALUES('only in the log');");
    db.CopyTo(folder.Path("sms.db"));
  }
  std::vector<fixtures::ManifestFile> files{StoredFile(backup, kSmsPath, ReadBytes(folder.Path("sms.db")))};
  if (storeWal) files.push_back(StoredFile(backup, std::string(kSmsPath) + "-wal", ReadBytes(folder.Path("sms.db-wal"))));
  ASSERT_FALSE(fixtures::WriteManifestDb(backup / "Manifest.db", files));
}

TEST(DatabaseWithWalTest, TheLogTravelsWithItsDatabaseWhenTheBackupHoldsIt) {
  for (const bool storeWal : {true, false}) {
    TempFolder folder;
    const fs::path backup = folder.Path("backup");
    fs::create_directories(backup);
    WriteBackup(folder, backup, storeWal);
    BackupEngine engine(folder.Path("appdata"), folder.Path("no-backups"));
    BackupInfo info;
    info.folderPath = backup.string();
    engine.SelectBackup(info);
    ASSERT_FALSE(engine.LoadManifest());

    const std::string smsId = ComputeFileId(kDomain, kSmsPath);
    const std::string path = DatabasePathWithWal(engine, smsId);
    sqlite::SqliteReader reader;
    ASSERT_FALSE(reader.Open(path));
    EXPECT_EQ(reader.HasWal(), storeWal);
    if (storeWal) {
      EXPECT_EQ(fs::path(path), engine.WorkFolder() / smsId);
      EXPECT_GT(reader.PageCount(), 1u);  // the table's page is in the log only
      EXPECT_FALSE(fs::exists(path + "-shm"));
    } else {
      EXPECT_EQ(fs::path(path), engine.StoredFilePath(smsId));
    }
    // Nothing was added beside the stored database in the backup.
    EXPECT_FALSE(fs::exists(engine.StoredFilePath(smsId).string() + "-wal"));
  }
}

}  // namespace
}  // namespace scrivel
