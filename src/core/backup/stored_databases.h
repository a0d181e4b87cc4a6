// Identifiers of the stored files the engine opens directly. Each is the
// SHA-1 of the name beside it (see file_id.h); the backup tests recompute
// every one from its name.
#pragma once

#include <string_view>

namespace scrivel {

// HomeDomain-Library/AddressBook/AddressBook.sqlitedb
inline constexpr std::string_view kAddressBookFileId = "31bb7ba8914766d4ba40d6dfb6113c8b614be442";
// HomeDomain-Library/SMS/sms.db
inline constexpr std::string_view kSmsFileId = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
// HomeDomain-Library/Notes/notes.sqlite
inline constexpr std::string_view kNotesFileId = "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c";
// AppDomainGroup-group.com.apple.notes-NoteStore.sqlite (iOS 9 and later)
inline constexpr std::string_view kNoteStoreFileId = "4f98687d8ab0d6d1a371110e6b7300f6e465bef2";
// HomeDomain-Library/CallHistoryDB/CallHistory.storedata (iOS 8 and later; tried first)
inline constexpr std::string_view kCallHistoryStoreFileId = "5a4935c78a5255723f707230a451d79c540d2741";
// WirelessDomain-Library/CallHistory/call_history.db (earlier systems)
inline constexpr std::string_view kCallHistoryFileId = "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca";
// AppDomainGroup-group.net.whatsapp.WhatsApp.shared-ChatStorage.sqlite (tried first)
inline constexpr std::string_view kWhatsAppSharedChatFileId = "7c7fba66680ef796b916b067077cc246adacf01d";
// AppDomain-net.whatsapp.WhatsApp-Documents/ChatStorage.sqlite
inline constexpr std::string_view kWhatsAppDocumentsChatFileId = "1b6b187a1b60b9ae8b720c79e2c67f472bab09c0";
// CameraRollDomain-Media/PhotoData/Photos.sqlite (the photo library database)
inline constexpr std::string_view kPhotoLibraryFileId = "12b144c0bd44f2b3dffd9186d3f9c05b917cee25";

}  // namespace scrivel
