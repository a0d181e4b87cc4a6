#include "core/results/scan_categories.h"

#include "core/results/conversation_rows.h"
#include "core/results/sort_orders.h"
#include "core/results/statistics_items.h"

namespace scrivel {

namespace {

std::vector<StatisticsAppGroup> AppGroups(const FilesByApp& apps) {
  std::vector<StatisticsAppGroup> groups;
  groups.reserve(apps.size());
  for (const auto& [app, files] : apps) groups.push_back({&files, app, MakeStatisticsItems(files)});
  return groups;
}

}  // namespace

void PrepareCategory(CategoryKind kind, ScanResults& results, ConversationRows& rows) {
  switch (kind) {
    case CategoryKind::kMessages:
      rows.conversations = BuildConversationRows(results.messages);
      SortDeletedFirst(rows.conversations);
      break;
    case CategoryKind::kWhatsApp:
      rows.chats = BuildChatRows(results.whatsApp);
      SortDeletedFirst(rows.chats);
      break;
    case CategoryKind::kContacts: SortDeletedFirst(results.contacts); break;
    case CategoryKind::kNotes: SortDeletedFirst(results.notes); break;
    case CategoryKind::kCallHistory: SortCallHistory(results.calls); break;
    default: break;
  }
}

bool RegisterScanCategory(CStatisticsObj& statistics, CategoryKind kind, const ScanResults& results,
                          const ConversationRows& rows) {
  switch (kind) {
    case CategoryKind::kCameraRoll:
      return statistics.RegisterCategory(&results.cameraRoll, kind, MakeStatisticsItems(results.cameraRoll));
    case CategoryKind::kPhotoStream:
      return statistics.RegisterCategory(&results.photoStream, kind, MakeStatisticsItems(results.photoStream));
    case CategoryKind::kAppPhotos:
      return statistics.RegisterAppCategory(&results.appPhotos, kind, AppGroups(results.appPhotos));
    case CategoryKind::kAppVideos:
      return statistics.RegisterAppCategory(&results.appVideos, kind, AppGroups(results.appVideos));
    case CategoryKind::kMessages:
      return statistics.RegisterCategory(&rows.conversations, kind, MakeStatisticsItems(rows.conversations));
    case CategoryKind::kMessageAttachments:
      return statistics.RegisterCategory(&results.messageAttachments, kind,
                                         MakeStatisticsItems(results.messageAttachments));
    case CategoryKind::kContacts:
      return statistics.RegisterCategory(&results.contacts, kind, MakeStatisticsItems(results.contacts));
    case CategoryKind::kCallHistory:
      return statistics.RegisterCategory(&results.calls, kind, MakeStatisticsItems(results.calls));
    case CategoryKind::kNotes:
      return statistics.RegisterCategory(&results.notes, kind, MakeStatisticsItems(results.notes));
    case CategoryKind::kWhatsApp:
      return statistics.RegisterCategory(&rows.chats, kind, MakeStatisticsItems(rows.chats));
    case CategoryKind::kWhatsAppAttachments:
      return statistics.RegisterCategory(&results.whatsAppFiles, kind, MakeStatisticsItems(results.whatsAppFiles));
    case CategoryKind::kNone: break;
  }
  return false;
}

std::uint32_t SetDeletedOnlyFilter(CStatisticsObj& statistics, CategoryKind kind, bool on) {
  std::uint32_t hidden = 0;
  if (!IsRecordCategory(kind)) return hidden;
  for (const StatisticsEntry& entry : statistics.Entries()) {
    if (entry.group || entry.kind != kind) continue;
    if (!entry.deleted) statistics.SetHidden(ResultItemKey(entry.item), on);
    if (entry.hidden) ++hidden;
  }
  return hidden;
}

}  // namespace scrivel
