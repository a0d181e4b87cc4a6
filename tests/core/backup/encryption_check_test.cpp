#include "core/backup/encryption_check.h"

#include <gtest/gtest.h>

#include "backup_test_support.h"
#include "core/backup/stored_databases.h"

namespace scrivel {
namespace {

using testing::TempFolder;

const std::string kAddressBook(kAddressBookFileId);
const std::string kSubfolderAddressBook = kAddressBook.substr(0, 2) + "/" + kAddressBook;

// The Manifest.plist a case writes.
enum class ManifestPlist { kNone, kEncrypted, kPlain, kWithoutFlag, kDamaged };

std::string ManifestPlistText(ManifestPlist kind) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
  switch (kind) {
    case ManifestPlist::kNone: return {};
    case ManifestPlist::kEncrypted: return head + "\t<key>IsEncrypted</key>\n\t<true/>\n</dict>\n</plist>\n";
    case ManifestPlist::kPlain: return head + "\t<key>IsEncrypted</key>\n\t<false/>\n</dict>\n</plist>\n";
    case ManifestPlist::kWithoutFlag: return head + "\t<key>Version</key>\n\t<string>10.0</string>\n</dict>\n</plist>\n";
    case ManifestPlist::kDamaged: return head + "\t<key>IsEncrypted</key>\n\t<fal";
  }
  return {};
}

TEST(EncryptionCheck, ManifestPlistDecidesAndTheAddressBookHeadOtherwise) {
  struct Case {
    const char* what;
    bool hasManifestDb;
    std::string addressBookPath;  // relative to the backup folder; "" = none
    std::string content;
    ManifestPlist manifestPlist;
    bool encrypted;
  };
  const std::string plainHead = std::string("SQLite format 3\0", 16) + std::string(100, 'x');
  const Case cases[] = {
      {"subfolder layout, plain", true, kSubfolderAddressBook, plainHead, ManifestPlist::kNone, false},
      {"header compared without regard to case", true, kSubfolderAddressBook, "sqlite format 3", ManifestPlist::kNone, false},
      {"subfolder layout, ciphertext", true, kSubfolderAddressBook, "\x8f\x12\xa0\x33\x01\x02\x03", ManifestPlist::kNone, true},
      {"flat layout, plain", false, kAddressBook, plainHead, ManifestPlist::kNone, false},
      {"flat layout, ciphertext", false, kAddressBook, std::string(512, '\x7f'), ManifestPlist::kNone, true},
      {"only the .mddata form exists", false, kAddressBook + ".mddata", "SQLite format 3", ManifestPlist::kNone, false},
      {".mddata ciphertext", false, kAddressBook + ".mddata", "garbage!", ManifestPlist::kNone, true},
      {"too short for the header", false, kAddressBook, "SQL", ManifestPlist::kNone, true},
      // With Manifest.db the flat file is not where the address book lives.
      {"flat file beside Manifest.db is not looked at", true, kAddressBook, "ciphertext", ManifestPlist::kNone, false},
      {"no address book at all", false, "", "", ManifestPlist::kNone, false},
      {"no address book; Manifest.plist says encrypted", true, "", "", ManifestPlist::kEncrypted, true},
      {"Manifest.plist outranks a plain address book", true, kSubfolderAddressBook, plainHead,
       ManifestPlist::kEncrypted, true},
      // A damaged address book of a plain backup reads like ciphertext.
      {"Manifest.plist outranks a damaged address book", true, kSubfolderAddressBook, "\x8f damaged",
       ManifestPlist::kPlain, false},
      {"Manifest.plist without the flag leaves it to the address book", true, kSubfolderAddressBook, "\x8f\x12",
       ManifestPlist::kWithoutFlag, true},
      {"a damaged Manifest.plist leaves it to the address book", true, kSubfolderAddressBook, plainHead,
       ManifestPlist::kDamaged, false},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    if (c.hasManifestDb) testing::WriteFile(folder.Path() / "Manifest.db", "");
    if (!c.addressBookPath.empty()) testing::WriteFile(folder.Path() / c.addressBookPath, c.content);
    if (c.manifestPlist != ManifestPlist::kNone) {
      testing::WriteFile(folder.Path() / "Manifest.plist", ManifestPlistText(c.manifestPlist));
    }
    EXPECT_EQ(c.encrypted, IsBackupEncrypted(folder.Path())) << c.what;
  }
}

TEST(EncryptionCheck, NonAsciiFolderNamesWork) {
  // Any UTF-8 folder name can be tested for encryption; nothing is lost to
  // a narrow code page.
  TempFolder temp;
  const std::filesystem::path folder = temp.Path() / "Zoë’s 备份";
  testing::WriteFile(folder / "Manifest.db", "");
  testing::WriteFile(folder / kSubfolderAddressBook, "\x93\x11 ciphertext");
  EXPECT_TRUE(IsBackupEncrypted(folder));
}

}  // namespace
}  // namespace scrivel
