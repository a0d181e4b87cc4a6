// The kinds of result categories the scan produces. Every entry of the
// selection statistics carries one, and export and printing dispatch on it.
// The numbers are fixed: the desktop window and the exports rely on them.
#pragma once

#include <string_view>

namespace scrivel {

enum class CategoryKind : int {
  kNone = 0,
  kCameraRoll = 1,           // FileItem
  kPhotoStream = 2,          // FileItem
  kAppPhotos = 3,            // FileItem with `app`
  kAppVideos = 4,            // FileItem with `app`
  kMessages = 5,             // conversation row (MessageItem)
  kMessageAttachments = 6,   // FileItem
  kContacts = 7,             // ContactItem
  kCallHistory = 8,          // CallItem
  kNotes = 9,                // NoteItem
  kWhatsApp = 10,            // chat row (ChatMessageItem)
  kWhatsAppAttachments = 11, // FileItem
};

// Every real kind, in scan order of their categories' display.
inline constexpr CategoryKind kAllCategoryKinds[] = {
    CategoryKind::kCameraRoll,         CategoryKind::kPhotoStream, CategoryKind::kAppPhotos,
    CategoryKind::kAppVideos,          CategoryKind::kMessages,    CategoryKind::kMessageAttachments,
    CategoryKind::kContacts,           CategoryKind::kCallHistory, CategoryKind::kNotes,
    CategoryKind::kWhatsApp,           CategoryKind::kWhatsAppAttachments,
};

// True for the kinds whose items are stored files copied out on export.
bool IsFileCategory(CategoryKind kind);

// True for the five kinds whose records carry a `deleted` flag and that the
// deleted-only filter applies to.
bool IsRecordCategory(CategoryKind kind);

// The command-line name of a kind: "camera-roll", "photo-stream",
// "app-photos", "app-videos", "messages", "message-attachments", "contacts",
// "call-history", "notes", "whatsapp", "whatsapp-attachments"; "" for kNone.
std::string_view CategoryCliName(CategoryKind kind);

// The kind of a command-line name, or kNone when the name is unknown.
CategoryKind CategoryKindFromCliName(std::string_view name);

}  // namespace scrivel
