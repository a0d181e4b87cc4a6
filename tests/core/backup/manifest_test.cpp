#include "core/backup/manifest.h"

#include <gtest/gtest.h>

#include <set>

#include "backup_test_support.h"
#include "core/backup/file_id.h"
#include "core/backup/manifest_db.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

using testing::ManifestDbRow;
using testing::TempFolder;

std::set<std::filesystem::path> FolderContents(const std::filesystem::path& folder) {
  std::set<std::filesystem::path> contents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) contents.insert(entry.path());
  return contents;
}

TEST(ManifestDb, EveryRowBecomesAnEntryInOrder) {
  TempFolder folder;
  const std::filesystem::path path = folder.Path() / "Manifest.db";
  testing::WriteManifestDb(path, {
      {"3d0d7e5fb2ce288813306e4d4636395e047a3d28", "HomeDomain", "Library/SMS/sms.db"},
      {"aaaa000000000000000000000000000000000001", "HomeDomain", ""},       // the domain's root folder
      {"aaaa000000000000000000000000000000000002", std::nullopt, "orphan"}, // NULL domain
      {std::nullopt, "MediaDomain", std::nullopt},                           // NULL id and path
      {"aaaa000000000000000000000000000000000003", "AppDomain-x", "a-b/c d.txt"},
  });
  const auto before = FolderContents(folder.Path());

  std::vector<ManifestEntry> entries(3);  // stale content is cleared
  ASSERT_FALSE(LoadManifestDb(path, entries));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"HomeDomain-Library/SMS/sms.db", "3d0d7e5fb2ce288813306e4d4636395e047a3d28"},
      {"HomeDomain-", "aaaa000000000000000000000000000000000001"},
      {"-orphan", "aaaa000000000000000000000000000000000002"},
      {"MediaDomain-", ""},
      {"AppDomain-x-a-b/c d.txt", "aaaa000000000000000000000000000000000003"},
  };
  ASSERT_EQ(expected.size(), entries.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].first, entries[i].name) << i;
    EXPECT_EQ(expected[i].second, entries[i].fileId) << i;
  }
  // Reading leaves no journal or lock file beside the manifest.
  EXPECT_EQ(before, FolderContents(folder.Path()));
}

TEST(ManifestDb, Failures) {
  TempFolder folder;
  std::vector<ManifestEntry> entries;
  // Missing: a bad file, and the file is not created.
  const std::error_code missing = LoadManifestDb(folder.Path() / "Manifest.db", entries);
  EXPECT_EQ(missing, kBadFile);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Manifest.db"));

  testing::WriteFile(folder.Path() / "notadb", std::string(4096, 'z'));
  EXPECT_EQ(kQueryError, LoadManifestDb(folder.Path() / "notadb", entries));

  testing::WriteFile(folder.Path() / "empty.db", "");
  EXPECT_EQ(kQueryError, LoadManifestDb(folder.Path() / "empty.db", entries));  // no Files table

  // Characters that mean something in a file: URI are taken literally.
  testing::WriteManifestDb(folder.Path() / "odd?name#1%20" / "Manifest.db", {{"x", "D", "p"}});
  EXPECT_FALSE(LoadManifestDb(folder.Path() / "odd?name#1%20" / "Manifest.db", entries));
  EXPECT_EQ(1u, entries.size());
}

TEST(Manifest, LooksUpByIdentifierAndName) {
  std::vector<ManifestEntry> entries;
  for (int i = 0; i < 1000; ++i) {
    const std::string name = "HomeDomain-Library/file" + std::to_string(i);
    entries.push_back({name, ComputeFileId(name)});
  }
  entries.push_back({"HomeDomain-Library/file7", "duplicate-name"});
  Manifest manifest(std::move(entries));

  const ManifestEntry* byId = manifest.FindByFileId(ComputeFileId("HomeDomain-Library/file500"));
  ASSERT_NE(nullptr, byId);
  EXPECT_EQ("HomeDomain-Library/file500", byId->name);
  const ManifestEntry* byName = manifest.FindByName("HomeDomain", "Library/file7");
  ASSERT_NE(nullptr, byName);
  EXPECT_EQ(ComputeFileId("HomeDomain-Library/file7"), byName->fileId);  // the first of the duplicates
  EXPECT_EQ(nullptr, manifest.FindByName("HomeDomain-Library/file1000"));
  EXPECT_EQ(nullptr, manifest.FindByFileId(""));

  // Copies and moves keep working look-ups (the indexes point into the entries).
  Manifest copy = manifest;
  Manifest moved = std::move(manifest);
  for (const Manifest* m : {&copy, &moved}) {
    const ManifestEntry* found = m->FindByName("HomeDomain-Library/file3");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(&m->Entries()[3], found);
  }
  copy.Clear();
  EXPECT_EQ(nullptr, copy.FindByName("HomeDomain-Library/file3"));
  EXPECT_TRUE(copy.Empty());
}

}  // namespace
}  // namespace scrivel
