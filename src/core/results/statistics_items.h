// What each kind of result counts in the selection statistics: files count
// their size in bytes, records the length (in UTF-16 code units) of the texts
// a person reads. CStatisticsObj raises every count to 1,024 bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "core/results/statistics_obj.h"

namespace scrivel {

StatisticsItem MakeStatisticsItem(const FileItem& file);                        // bytes, a Live Photo's movie included; deleted while in Recently Deleted
StatisticsItem MakeStatisticsItem(const apps::MessageItem& row);     // length of the row's text
StatisticsItem MakeStatisticsItem(const apps::ContactItem& contact); // name plus phone
StatisticsItem MakeStatisticsItem(const apps::CallItem& call);       // name plus address
StatisticsItem MakeStatisticsItem(const apps::NoteItem& note);       // content
StatisticsItem MakeStatisticsItem(const apps::ChatMessageItem& row); // length of the row's text

// One StatisticsItem per element of `items`, in order. The elements must
// stay where they are (no reallocation) while the statistics use them.
template <typename Item>
std::vector<StatisticsItem> MakeStatisticsItems(const std::vector<Item>& items) {
  std::vector<StatisticsItem> result;
  result.reserve(items.size());
  for (const Item& item : items) result.push_back(MakeStatisticsItem(item));
  return result;
}

}  // namespace scrivel
