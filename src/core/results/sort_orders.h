// The orders the data list shows: conversations, chats, contacts and notes
// with deleted items first and otherwise as they came; call history newest
// first, deleted calls before live ones. All sorts are stable.
#pragma once

#include <algorithm>
#include <vector>

#include "core/apps/table_records.h"

namespace scrivel {

// Moves the items whose `deleted` is set to the front, keeping the order
// within deleted and within live items.
template <typename Item>
void SortDeletedFirst(std::vector<Item>& items) {
  std::stable_partition(items.begin(), items.end(), [](const Item& item) { return item.deleted != 0; });
}

// Deleted calls first; within each group by `date` text, newest first.
void SortCallHistory(std::vector<apps::CallItem>& calls);

}  // namespace scrivel
