#include "core/backup/backup_engine.h"

#include <gtest/gtest.h>

#include "backup_test_support.h"
#include "core/backup/info_plist.h"
#include "core/backup/stored_databases.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

using testing::MbdbWriter;
using testing::TempFolder;
using testing::WriteFile;

const std::string kSms(kSmsFileId);

std::string InfoPlistWithName(std::string_view name) {
  return "<plist version=\"1.0\">\n<dict>\n\t<key>Display Name</key>\n\t<string>" + std::string(name) +
         "</string>\n</dict>\n</plist>\n";
}

TEST(BackupEngine, ListsTheRootAndReadsSummaries) {
  TempFolder temp;
  const std::filesystem::path root = temp.Path() / "root";
  WriteFile(root / "plain-file", "12345");
  WriteFile(root / "abc" / "Info.plist", "<plist version=\"1.0\">\n<dict>\n</dict>\n</plist>\n");
  WriteFile(root / "good" / "Info.plist", InfoPlistWithName("Good Phone"));
  WriteFile(root / "good" / "big", std::string(1000, 'x'));  // below the root's level: not counted
  WriteFile(root / ".hidden" / "Info.plist", InfoPlistWithName("Hidden"));
  std::filesystem::create_directories(root / "no-info");

  const std::filesystem::path appData = temp.Path() / "data" / "nested";
  BackupEngine engine(appData, root);
  EXPECT_TRUE(std::filesystem::is_directory(appData / "VantoriciOSRecovery"));
  EXPECT_EQ(appData / "VantoriciOSRecovery", engine.WorkFolder());
  EXPECT_EQ(root, engine.CurrentBackupFolder());

  const std::vector<std::filesystem::path> expectedFolders = {root / "abc", root / "good", root / "no-info",
                                                              root / "plain-file"};
  EXPECT_EQ(expectedFolders, engine.BackupFolders());
  EXPECT_EQ(5u, engine.ByteTotal());

  std::vector<BackupInfo> infos;
  ASSERT_FALSE(engine.ReadAllBackupInfo(infos));
  ASSERT_EQ(2u, infos.size());
  EXPECT_EQ((root / "abc").string(), infos[0].folderPath);
  EXPECT_EQ("", infos[0].displayName);
  EXPECT_EQ("", infos[0].lastBackupDate);
  EXPECT_EQ("", infos[0].serialNumber);
  EXPECT_EQ("Good Phone", infos[1].displayName);

  // Listing again replaces the list and the total; a missing root empties both.
  EXPECT_FALSE(engine.ListBackupFolders(temp.Path() / "missing"));
  EXPECT_TRUE(engine.BackupFolders().empty());
  EXPECT_EQ(0u, engine.ByteTotal());
}

// A backup folder with the given manifests; each manifest lists a different
// file so the test can tell which one was loaded.
struct BackupShape {
  bool manifestDb;
  bool manifestMbdb;
  bool encrypted;
  bool decryptedManifest;  // "Manifest.db-decypted" in the decryption output folder
  bool setOutputFolder;
};

void BuildBackup(const std::filesystem::path& folder, const std::filesystem::path& output, const BackupShape& shape) {
  std::filesystem::create_directories(folder);
  if (shape.manifestDb) testing::WriteManifestDb(folder / "Manifest.db", {{kSms, "HomeDomain", "from-db"}});
  if (shape.manifestMbdb) WriteFile(folder / "Manifest.mbdb", MbdbWriter().Add("HomeDomain", "from-mbdb", 0x81A4).Bytes());
  if (shape.decryptedManifest) {
    testing::WriteManifestDb(output / "Manifest.db-decypted", {{kSms, "HomeDomain", "from-decrypted"}});
  }
}

TEST(BackupEngine, ChoosesTheManifestAndLayout) {
  struct Case {
    const char* what;
    BackupShape shape;
    std::error_code result;
    const char* loadedName;  // name of the only entry; "" = none
    StoreLayout layout;
  };
  const Case cases[] = {
      {"both manifests: Manifest.db wins", {true, true, false, false, false}, std::error_code{}, "HomeDomain-from-db",
       StoreLayout::kSubfolder},
      {"Manifest.mbdb only", {false, true, false, false, false}, std::error_code{}, "HomeDomain-from-mbdb", StoreLayout::kFlat},
      {"no manifest", {false, false, false, false, false}, kBadFile, "", StoreLayout::kFlat},
      {"decrypted manifest in the output folder", {true, false, true, true, true}, std::error_code{}, "HomeDomain-from-decrypted",
       StoreLayout::kDecrypted},
      {"decrypted, but the tool left no manifest", {true, false, true, false, true}, std::error_code{}, "HomeDomain-from-db",
       StoreLayout::kDecrypted},
      {"encrypted, not decrypted", {true, false, true, true, false}, std::error_code{}, "HomeDomain-from-db",
       StoreLayout::kSubfolder},
      {"an unencrypted backup ignores a decrypted manifest", {true, false, false, true, true}, std::error_code{},
       "HomeDomain-from-db", StoreLayout::kSubfolder},
      {"encrypted mbdb backup, decrypted", {false, true, true, false, true}, std::error_code{}, "HomeDomain-from-mbdb",
       StoreLayout::kDecrypted},
  };
  for (const Case& c : cases) {
    TempFolder temp;
    const std::filesystem::path backup = temp.Path() / "backup";
    const std::filesystem::path output = temp.Path() / "work" / "VantoricBackupPath";
    std::filesystem::create_directories(output);
    BuildBackup(backup, output, c.shape);
    BackupEngine engine(temp.Path() / "data", temp.Path() / "root");
    BackupInfo info;
    info.folderPath = backup.string();
    info.encrypted = c.shape.encrypted;
    engine.SelectBackup(info);
    if (c.shape.setOutputFolder) engine.SetDecryptionOutputFolder(output);

    EXPECT_EQ(c.result, engine.LoadManifest()) << c.what;
    const auto& entries = engine.GetManifest().Entries();
    EXPECT_EQ(std::string(c.loadedName).empty() ? 0u : 1u, entries.size()) << c.what;
    if (!entries.empty()) {
      EXPECT_EQ(c.loadedName, entries[0].name) << c.what;
    }
    EXPECT_EQ(c.layout, engine.Layout()) << c.what;
    const std::filesystem::path expectedPath = c.layout == StoreLayout::kDecrypted ? output / kSms
                                               : c.layout == StoreLayout::kSubfolder ? backup / "3d" / kSms
                                                                                      : backup / kSms;
    EXPECT_EQ(expectedPath, engine.StoredFilePath(kSms)) << c.what;
  }
}

TEST(BackupEngine, SelectingAnotherBackupForgetsTheDecryption) {
  TempFolder temp;
  BackupEngine engine(temp.Path() / "data", temp.Path() / "root");
  BackupInfo encrypted;
  encrypted.folderPath = (temp.Path() / "a").string();
  encrypted.encrypted = true;
  engine.SelectBackup(encrypted);
  engine.SetDecryptionOutputFolder(temp.Path() / "out");
  EXPECT_EQ(StoreLayout::kDecrypted, engine.Layout());
  engine.SelectBackup(encrypted);
  EXPECT_TRUE(engine.DecryptionOutputFolder().empty());
  EXPECT_EQ(temp.Path() / "a" / kSms, engine.StoredFilePath(kSms));
}

TEST(BackupEngine, CleanUpDeletesOnlyTemporaryFiles) {
  TempFolder temp;
  const std::filesystem::path appData = temp.Path() / "data";
  const std::filesystem::path work = appData / "VantoriciOSRecovery";
  const std::filesystem::path output = work / "tmp_backup" / "VantoricBackupPath";
  const std::filesystem::path backup = temp.Path() / "root" / "backup";
  WriteFile(backup / "Info.plist", InfoPlistWithName("Mine"));
  WriteFile(backup / kSms, "user data");
  {
    BackupEngine engine(appData, temp.Path() / "root");
    WriteFile(work / "tmp.jpg", "preview");
    WriteFile(work / "keep.txt", "not a temporary file");
    WriteFile(output / kSms, "decrypted");
    WriteFile(output / "sub" / "file", "in a subfolder");
    BackupInfo info;
    ASSERT_FALSE(ReadBackupInfo(backup, info));
    info.encrypted = true;
    engine.SelectBackup(info);

    // An output folder inside the user's backup is never cleaned.
    engine.SetDecryptionOutputFolder(backup);
    engine.CleanUpTemporaryFiles();
    EXPECT_TRUE(std::filesystem::exists(backup / kSms));
    engine.SetDecryptionOutputFolder(backup / ".." / "backup" / ".");
    engine.CleanUpTemporaryFiles();
    EXPECT_TRUE(std::filesystem::exists(backup / kSms));
    EXPECT_FALSE(std::filesystem::exists(work / "tmp.jpg"));

    engine.SetDecryptionOutputFolder(output);
    WriteFile(work / "tmp.wav", "preview");
  }  // the destructor cleans up
  EXPECT_FALSE(std::filesystem::exists(output / kSms));
  EXPECT_FALSE(std::filesystem::exists(work / "tmp.wav"));
  EXPECT_TRUE(std::filesystem::exists(output / "sub" / "file"));
  EXPECT_TRUE(std::filesystem::exists(work / "keep.txt"));
  EXPECT_TRUE(std::filesystem::exists(backup / kSms));
  EXPECT_TRUE(std::filesystem::exists(backup / "Info.plist"));
}

}  // namespace
}  // namespace scrivel
