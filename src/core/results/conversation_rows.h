// Conversations and chats condensed into one row each for the data list,
// printing and export: the row is a copy of the conversation's last message,
// marked deleted when any of its messages is deleted. The row's `handleId`
// (or `chatSessionId`) finds the whole conversation again in its map.
#pragma once

#include <vector>

#include "core/sqlite_recovery/messages.h"
#include "core/sqlite_recovery/whatsapp.h"

namespace scrivel {

// Messages by conversation partner (`handleId`), each list in date order.
using ConversationMap = sqlite_recovery::MessagesByHandle;
// WhatsApp messages by chat (`chatSessionId`), each list in date order.
using ChatMap = sqlite_recovery::ChatMessagesBySession;

// One row per non-empty conversation, in key order.
std::vector<sqlite_recovery::MessageItem> BuildConversationRows(const ConversationMap& conversations);

// One row per non-empty chat, in key order.
std::vector<sqlite_recovery::ChatMessageItem> BuildChatRows(const ChatMap& chats);

}  // namespace scrivel
