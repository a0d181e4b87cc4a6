#include "core/recovery/category_kind.h"

namespace scrivel {

bool IsFileCategory(CategoryKind kind) {
  switch (kind) {
    case CategoryKind::kCameraRoll:
    case CategoryKind::kPhotoStream:
    case CategoryKind::kAppPhotos:
    case CategoryKind::kAppVideos:
    case CategoryKind::kMessageAttachments:
    case CategoryKind::kWhatsAppAttachments:
      return true;
    default:
      return false;
  }
}

bool IsRecordCategory(CategoryKind kind) {
  switch (kind) {
    case CategoryKind::kMessages:
    case CategoryKind::kContacts:
    case CategoryKind::kCallHistory:
    case CategoryKind::kNotes:
    case CategoryKind::kWhatsApp:
      return true;
    default:
      return false;
  }
}

std::string_view CategoryCliName(CategoryKind kind) {
  switch (kind) {
    case CategoryKind::kCameraRoll: return "camera-roll";
    case CategoryKind::kPhotoStream: return "photo-stream";
    case CategoryKind::kAppPhotos: return "app-photos";
    case CategoryKind::kAppVideos: return "app-videos";
    case CategoryKind::kMessages: return "messages";
    case CategoryKind::kMessageAttachments: return "message-attachments";
    case CategoryKind::kContacts: return "contacts";
    case CategoryKind::kCallHistory: return "call-history";
    case CategoryKind::kNotes: return "notes";
    case CategoryKind::kWhatsApp: return "whatsapp";
    case CategoryKind::kWhatsAppAttachments: return "whatsapp-attachments";
    case CategoryKind::kNone: break;
  }
  return "";
}

CategoryKind CategoryKindFromCliName(std::string_view name) {
  for (CategoryKind kind : kAllCategoryKinds) {
    if (CategoryCliName(kind) == name) return kind;
  }
  return CategoryKind::kNone;
}

}  // namespace scrivel
