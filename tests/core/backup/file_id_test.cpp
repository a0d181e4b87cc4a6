#include "core/backup/file_id.h"

#include <gtest/gtest.h>

#include "core/backup/stored_databases.h"
#include "core/backup/store_layout.h"

namespace scrivel {
namespace {

TEST(FileId, MatchesTheIdentifiersTheEngineOpens) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"HomeDomain-Library/AddressBook/AddressBook.sqlitedb", kAddressBookFileId},
      {"HomeDomain-Library/SMS/sms.db", kSmsFileId},
      {"HomeDomain-Library/Notes/notes.sqlite", kNotesFileId},
      {"AppDomainGroup-group.com.apple.notes-NoteStore.sqlite", kNoteStoreFileId},
      {"HomeDomain-Library/CallHistoryDB/CallHistory.storedata", kCallHistoryStoreFileId},
      {"WirelessDomain-Library/CallHistory/call_history.db", kCallHistoryFileId},
      {"AppDomainGroup-group.net.whatsapp.WhatsApp.shared-ChatStorage.sqlite", kWhatsAppSharedChatFileId},
      {"AppDomain-net.whatsapp.WhatsApp-Documents/ChatStorage.sqlite", kWhatsAppDocumentsChatFileId},
      {"CameraRollDomain-Media/PhotoData/Photos.sqlite", kPhotoLibraryFileId},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},  // SHA-1 of no bytes
  };
  for (const auto& [name, fileId] : cases) EXPECT_EQ(fileId, ComputeFileId(name)) << name;
  EXPECT_EQ(kSmsFileId, ComputeFileId("HomeDomain", "Library/SMS/sms.db"));
}

TEST(FileId, RecognisesWellFormedIdentifiers) {
  const std::pair<std::string_view, bool> cases[] = {
      {kSmsFileId, true},
      {"3D0D7E5FB2CE288813306E4D4636395E047A3D28", false},  // uppercase
      {"3d0d7e5fb2ce288813306e4d4636395e047a3d2", false},   // 39 digits
      {"3d0d7e5fb2ce288813306e4d4636395e047a3d288", false}, // 41 digits
      {"../../../../../../../../../../../etc/pas", false},  // 40 characters, not hex
      {"", false},
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(valid, IsFileId(text)) << text;
}

TEST(StoreLayout, PathsOfTheThreeLayouts) {
  const std::filesystem::path folder = "/backups/abc";
  struct Case {
    bool decrypted;
    bool hasManifestDb;
    StoreLayout layout;
    std::filesystem::path path;
  };
  const Case cases[] = {
      {true, true, StoreLayout::kDecrypted, folder / kSmsFileId},  // encrypted wins over Manifest.db
      {true, false, StoreLayout::kDecrypted, folder / kSmsFileId},
      {false, true, StoreLayout::kSubfolder, folder / "3d" / kSmsFileId},
      {false, false, StoreLayout::kFlat, folder / kSmsFileId},
  };
  for (const Case& c : cases) {
    const StoreLayout layout = ChooseStoreLayout(c.decrypted, c.hasManifestDb);
    EXPECT_EQ(c.layout, layout);
    EXPECT_EQ(c.path, StoredFilePathIn(folder, layout, kSmsFileId));
  }
  EXPECT_TRUE(StoredFilePathIn(folder, StoreLayout::kSubfolder, "../Info.plist").empty());
}

}  // namespace
}  // namespace scrivel
