// Messages the person deleted on a phone with iOS 16 or later wait 30 days
// in "Recently Deleted": their rows stay in "message", listed in
// "chat_recoverable_message_join", and the text of each part is kept in
// "recoverable_message_part". They are listed as deleted messages.
#pragma once

#include <vector>

#include "core/apps/table_records.h"

namespace scrivel::apps {

// Marks each live message that `links` or `parts` name as deleted (once:
// it keeps its row id, so its attachment and partner still find it). A
// message named by parts whose row is not among the live messages is added
// as a deleted message of its own, its text being the parts' texts in part
// order, one per line; it has no partner and no date. Of several parts with
// the same message and index (a row found again in free space), the first
// counts.
void MarkRecentlyDeleted(std::vector<MessageItem>& messages, const std::vector<RecoverableMessageLink>& links,
                         const std::vector<RecoverablePart>& parts);

}  // namespace scrivel::apps
