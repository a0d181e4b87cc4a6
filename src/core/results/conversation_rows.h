// Conversations and chats condensed into one row each for the data list,
// printing and export: the row is a copy of the conversation's last message,
// marked deleted when any of its messages is deleted. The row's `handleId`
// (or `chatSessionId`) finds the whole conversation again in its map.
#pragma once

#include <vector>

#include "core/apps/messages.h"
#include "core/apps/whatsapp.h"

namespace scrivel {

// Messages by conversation partner (`handleId`), each list in date order.
using ConversationMap = apps::MessagesByHandle;
// WhatsApp messages by chat (`chatSessionId`), each list in date order.
using ChatMap = apps::ChatMessagesBySession;

// One row per non-empty conversation, in key order.
std::vector<apps::MessageItem> BuildConversationRows(const ConversationMap& conversations);

// One row per non-empty chat, in key order.
std::vector<apps::ChatMessageItem> BuildChatRows(const ChatMap& chats);

}  // namespace scrivel
