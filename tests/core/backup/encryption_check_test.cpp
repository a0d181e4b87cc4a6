#include "core/backup/encryption_check.h"

#include <gtest/gtest.h>

#include "backup_test_support.h"
#include "core/backup/stored_databases.h"

namespace scrivel {
namespace {

using testing::TempFolder;

const std::string kAddressBook(kAddressBookFileId);
const std::string kSubfolderAddressBook = kAddressBook.substr(0, 2) + "/" + kAddressBook;

TEST(EncryptionCheck, AddressBookHeadDecides) {
  struct Case {
    const char* what;
    bool hasManifestDb;
    std::string addressBookPath;  // relative to the backup folder; "" = none
    std::string content;
    bool manifestPlistEncrypted;  // write Manifest.plist with IsEncrypted = true
    bool encrypted;
  };
  const std::string plainHead = std::string("SQLite format 3\0", 16) + std::string(100, 'x');
  const Case cases[] = {
      {"subfolder layout, plain", true, kSubfolderAddressBook, plainHead, false, false},
      {"header compared without regard to case", true, kSubfolderAddressBook, "sqlite format 3", false, false},
      {"subfolder layout, ciphertext", true, kSubfolderAddressBook, "\x8f\x12\xa0\x33\x01\x02\x03", false, true},
      {"flat layout, plain", false, kAddressBook, plainHead, false, false},
      {"flat layout, ciphertext", false, kAddressBook, std::string(512, '\x7f'), false, true},
      {"only the .mddata form exists", false, kAddressBook + ".mddata", "SQLite format 3", false, false},
      {".mddata ciphertext", false, kAddressBook + ".mddata", "garbage!", false, true},
      {"too short for the header", false, kAddressBook, "SQL", false, true},
      // With Manifest.db the flat file is not where the address book lives.
      {"flat file beside Manifest.db is not looked at", true, kAddressBook, "ciphertext", false, false},
      {"no address book at all", false, "", "", false, false},
      {"no address book; Manifest.plist says encrypted", true, "", "", true, true},
      {"address book outranks Manifest.plist", true, kSubfolderAddressBook, plainHead, true, false},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    if (c.hasManifestDb) testing::WriteFile(folder.Path() / "Manifest.db", "");
    if (!c.addressBookPath.empty()) testing::WriteFile(folder.Path() / c.addressBookPath, c.content);
    if (c.manifestPlistEncrypted) {
      testing::WriteFile(folder.Path() / "Manifest.plist",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                         "\t<key>IsEncrypted</key>\n\t<true/>\n</dict>\n</plist>\n");
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
