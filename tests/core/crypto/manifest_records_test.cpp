// The two property lists the decryption reads: Manifest.plist's key
// material and Manifest.db's MBFile archives.
#include <gtest/gtest.h>
#include <plist/plist.h>

#include <memory>
#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/crypto/backup_key_material.h"
#include "core/crypto/mbfile_archive.h"
#include "fixtures/backup_encryptor.h"

namespace scrivel::crypto {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes ToBinary(plist_t root) {
  char* data = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &data, &length);
  Bytes bytes(data, data + length);
  plist_to_bin_free(data);
  plist_free(root);
  return bytes;
}

TEST(BackupKeyMaterialTest, ReadsTheEncryptionEntries) {
  const Bytes xml = Text(
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>IsEncrypted</key><true/>"
      "<key>BackupKeyBag</key><data>AQID</data><key>ManifestKey</key><data>BAUG</data></dict></plist>");
  BackupKeyMaterial material;
  std::string error;
  ASSERT_FALSE(ReadBackupKeyMaterial(xml, material, error)) << error;
  EXPECT_TRUE(material.isEncrypted);
  EXPECT_EQ(material.keybag, (Bytes{1, 2, 3}));
  EXPECT_EQ(material.manifestKey, (Bytes{4, 5, 6}));

  plist_t binary = plist_new_dict();
  plist_dict_set_item(binary, "IsEncrypted", plist_new_bool(0));
  ASSERT_FALSE(ReadBackupKeyMaterial(ToBinary(binary), material, error));
  EXPECT_FALSE(material.isEncrypted);
  EXPECT_TRUE(material.keybag.empty());
}

TEST(BackupKeyMaterialTest, RejectsWhatCannotBeDecrypted) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"not a property list", Text("Manifest")},
      {"cut short", Text("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>IsEncr")},
      {"array at the top", Text("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>")},
      {"encrypted without keybag",
       Text("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>IsEncrypted</key><true/></dict></plist>")},
      {"keybag of the wrong type",
       Text("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>IsEncrypted</key><true/>"
            "<key>BackupKeyBag</key><string>AQID</string></dict></plist>")},
  };
  for (const auto& [name, bytes] : cases) {
    BackupKeyMaterial material;
    std::string error;
    EXPECT_EQ(ReadBackupKeyMaterial(bytes, material, error), kBadFile) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
}

TEST(MbFileArchiveTest, ReadsSizeClassAndKey) {
  const Bytes key(44, 0x7E);
  MbFileProperties properties;
  std::string error;
  ASSERT_EQ(ParseMbFileArchive(fixtures::BuildMbFileArchive(123456789012, 4, 0100644, "Library/x", key), properties,
                               error),
            std::error_code{})
      << error;
  EXPECT_EQ(properties.size, 123456789012u);
  EXPECT_EQ(properties.protectionClass, 4u);
  EXPECT_EQ(properties.encryptionKey, key);

  ASSERT_FALSE(ParseMbFileArchive(fixtures::BuildMbFileArchive(0, 3, 0100644, "empty", {}), properties, error));
  EXPECT_TRUE(properties.encryptionKey.empty());  // zero-length files carry no key
}

// A keyed archive whose root and EncryptionKey UIDs are chosen by the test.
Bytes ArchiveWithUids(std::uint64_t rootUid, std::uint64_t keyUid) {
  plist_t objects = plist_new_array();
  plist_array_append_item(objects, plist_new_string("$null"));
  plist_t file = plist_new_dict();
  plist_dict_set_item(file, "Size", plist_new_uint(10));
  plist_dict_set_item(file, "EncryptionKey", plist_new_uid(keyUid));
  plist_array_append_item(objects, file);
  plist_array_append_item(objects, plist_new_string("not data"));
  plist_t top = plist_new_dict();
  plist_dict_set_item(top, "root", plist_new_uid(rootUid));
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "$top", top);
  plist_dict_set_item(root, "$objects", objects);
  return ToBinary(root);
}

TEST(MbFileArchiveTest, RejectsBrokenArchives) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"not a property list", Text("bplist00 and nothing else")},
      {"root UID past $objects", ArchiveWithUids(9, 1)},
      {"root is not a dictionary", ArchiveWithUids(2, 1)},
      {"EncryptionKey UID past $objects", ArchiveWithUids(1, 1000)},
      {"EncryptionKey points at a string", ArchiveWithUids(1, 2)},
  };
  for (const auto& [name, bytes] : cases) {
    MbFileProperties properties;
    std::string error;
    EXPECT_EQ(ParseMbFileArchive(bytes, properties, error), kBadFile) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
}

}  // namespace
}  // namespace scrivel::crypto
