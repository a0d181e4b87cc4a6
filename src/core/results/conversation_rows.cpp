#include "core/results/conversation_rows.h"

#include <algorithm>

namespace scrivel {

namespace {

template <typename Item>
std::vector<Item> BuildRows(const std::map<std::int32_t, std::vector<Item>>& lists) {
  std::vector<Item> rows;
  rows.reserve(lists.size());
  for (const auto& [key, list] : lists) {
    if (list.empty()) continue;
    Item row = list.back();
    const bool anyDeleted = std::any_of(list.begin(), list.end(), [](const Item& item) { return item.deleted != 0; });
    if (anyDeleted) row.deleted = 1;
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

std::vector<apps::MessageItem> BuildConversationRows(const ConversationMap& conversations) {
  return BuildRows(conversations);
}

std::vector<apps::ChatMessageItem> BuildChatRows(const ChatMap& chats) { return BuildRows(chats); }

}  // namespace scrivel
