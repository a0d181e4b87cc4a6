#include "core/apps/messages_recently_deleted.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace scrivel::apps {

void MarkRecentlyDeleted(std::vector<MessageItem>& messages, const std::vector<RecoverableMessageLink>& links,
                         const std::vector<RecoverablePart>& parts) {
  std::set<std::int32_t> recoverable;
  for (const RecoverableMessageLink& link : links) recoverable.insert(link.messageId);
  std::map<std::int32_t, std::map<std::int32_t, const std::string*>> textsByMessage;
  for (const RecoverablePart& part : parts) {
    recoverable.insert(part.messageId);
    textsByMessage[part.messageId].try_emplace(part.partIndex, &part.text);
  }

  std::set<std::int32_t> present;
  for (MessageItem& message : messages) {
    if (message.deleted != 0 || recoverable.count(message.rowId) == 0) continue;
    present.insert(message.rowId);
    message.deleted = 1;
  }

  for (const auto& [messageId, texts] : textsByMessage) {
    if (present.count(messageId) != 0) continue;
    MessageItem restored;
    restored.deleted = 1;
    for (const auto& [partIndex, text] : texts) {
      if (!restored.text.empty()) restored.text += "\n";
      restored.text += *text;
    }
    messages.push_back(std::move(restored));
  }
}

}  // namespace scrivel::apps
