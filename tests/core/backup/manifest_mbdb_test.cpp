#include "core/backup/manifest_mbdb.h"

#include <gtest/gtest.h>

#include "backup_test_support.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

using testing::MbdbWriter;
using testing::TempFolder;

TEST(ManifestMbdb, RecordKindsDecideWhichEntriesExist) {
  struct Case {
    const char* domain;
    const char* path;
    std::uint16_t mode;
    bool listed;
  };
  const Case cases[] = {
      {"HomeDomain", "Library/SMS/sms.db", 0x81A4, true},  // regular file
      {"HomeDomain", "Library/SMS", 0x41ED, false},        // directory
      {"MediaDomain", "Media/link", 0xA1ED, true},         // symbolic link
      {"", "Library/orphan", 0x81A4, false},               // empty domain
      {"HomeDomain", "", 0x81A4, false},                   // empty path (the domain's own record)
      {"AppDomain-x", "Documents/a b.txt", 0x8000, true},  // file with no permission bits
  };
  MbdbWriter writer;
  std::vector<std::string> expectedNames;
  for (const Case& c : cases) {
    writer.Add(c.domain, c.path, c.mode);
    if (c.listed) expectedNames.push_back(std::string(c.domain) + "-" + c.path);
  }

  std::vector<ManifestEntry> entries;
  ASSERT_FALSE(ParseManifestMbdb(writer.Bytes(), entries));
  std::vector<std::string> names;
  for (const ManifestEntry& entry : entries) names.push_back(entry.name);
  EXPECT_EQ(expectedNames, names);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ("3d0d7e5fb2ce288813306e4d4636395e047a3d28", entries[0].fileId);
}

TEST(ManifestMbdb, LoadReportsFileErrors) {
  TempFolder folder;
  std::vector<ManifestEntry> entries;
  EXPECT_EQ(kMbdbUnopenable, LoadManifestMbdb(folder.Path() / "Manifest.mbdb", entries));
  EXPECT_EQ(kMbdbUnopenable, LoadManifestMbdb(folder.Path(), entries));  // a folder is not a file
  EXPECT_EQ(kBadFile, LoadManifestMbdb("", entries));

  testing::WriteFile(folder.Path() / "garbled", std::string_view("mbdx\x05\x00", 6));
  EXPECT_EQ(kBadFile, LoadManifestMbdb(folder.Path() / "garbled", entries));
}

// A manifest cut short or damaged in one record still opens the backup: the
// intact records before and after the damage are kept, and it is counted.
TEST(ManifestMbdb, DamagedRecordsAreSkippedAndCounted) {
  TempFolder folder;
  MbdbWriter writer;
  writer.Add("HomeDomain", "Library/SMS/sms.db", 0x81A4);
  writer.Add("HomeDomain", "Library/Notes/notes.sqlite", 0x81A4);
  std::vector<std::uint8_t> bytes = writer.Bytes();
  bytes.resize(bytes.size() - 3);  // cut inside the second record's fixed fields
  testing::WriteFile(folder.Path() / "Manifest.mbdb", bytes);

  std::vector<ManifestEntry> entries;
  std::uint64_t damaged = 0;
  EXPECT_FALSE(LoadManifestMbdb(folder.Path() / "Manifest.mbdb", entries, &damaged));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("HomeDomain-Library/SMS/sms.db", entries[0].name);
  EXPECT_EQ(damaged, 1u);

  // A flipped length byte in the middle record: the records around it stay.
  MbdbWriter three;
  three.Add("HomeDomain", "Library/SMS/sms.db", 0x81A4);
  three.Add("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", 0x81A4);
  three.Add("MediaDomain", "Library/SMS/Attachments/a.jpg", 0x81A4);
  std::vector<std::uint8_t> flipped = three.Bytes();
  const std::size_t second = kMbdbHeaderSize + (flipped.size() - kMbdbHeaderSize) / 3;
  flipped[second + 1] ^= 0xFF;  // inside the second record, near its domain length
  std::vector<ManifestEntry> kept;
  EXPECT_FALSE(ParseManifestMbdb(flipped, kept, &damaged));
  EXPECT_GE(damaged, 1u);
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept.front().name, "HomeDomain-Library/SMS/sms.db");
  EXPECT_EQ(kept.back().name, "MediaDomain-Library/SMS/Attachments/a.jpg");
}

}  // namespace
}  // namespace scrivel
