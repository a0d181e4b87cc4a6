// Turns the results of a scan into what the results browser, printing and
// export work on: the list orders, the condensed conversation and chat rows,
// and the registration of each category with the selection statistics.
#pragma once

#include <span>
#include <vector>

#include "core/recovery/scan_results.h"
#include "core/recovery/category_kind.h"
#include "core/results/statistics_obj.h"

namespace scrivel {

// The rows of Messages and WhatsApp, one per conversation or chat.
struct ConversationRows {
  std::vector<MessageItem> conversations;
  std::vector<ChatMessageItem> chats;
};

// Puts the lists of `kind` into the order the data list shows (contacts,
// notes: deleted first; calls: deleted first, newest first) and, for
// Messages and WhatsApp, builds their rows (deleted first). Call once per
// category, after its scan and before registering it.
void PrepareCategory(CategoryKind kind, ScanResults& results, ConversationRows& rows);

// Registers the category `kind` with `statistics`, keyed by its container
// in `results` or `rows` (which must not change afterwards). Returns false
// when the category was registered already.
bool RegisterScanCategory(CStatisticsObj& statistics, CategoryKind kind, const ScanResults& results,
                          const ConversationRows& rows);

// The deleted-only filter of one category: hides (on) or shows (off) every
// record of `kind` that is not deleted. Files are never deleted, so file
// categories are left as they are. Returns the number of hidden items of
// the category afterwards.
std::uint32_t SetDeletedOnlyFilter(CStatisticsObj& statistics, CategoryKind kind, bool on);

}  // namespace scrivel
