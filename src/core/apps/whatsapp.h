// WhatsApp messages, live and deleted, from ChatStorage.sqlite: the
// messages ("ZWAMESSAGE"), the chats ("ZWACHATSESSION"), the members of
// group chats ("ZWAGROUPMEMBER") and the media items ("ZWAMEDIAITEM"),
// read through the table decoders (table_decoders.h). Each message is
// completed with its chat's and sender's names and ids; a media message
// without text shows the media file's path; messages without any text are
// left out. Names come only from the chat and member tables.
#pragma once

#include <system_error>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/apps/table_records.h"

namespace scrivel::apps {

// Shown as the sender of the phone owner's own messages.
inline constexpr const char* kOwnSenderName = "Me";

// Shown for a message its sender deleted for everybody: WhatsApp keeps its
// row, without text, as a message of type kRevokedMessageType.
inline constexpr const char* kRevokedMessageText = "This message was deleted.";
inline constexpr std::int32_t kRevokedMessageType = 14;

// Messages grouped by chat: chatSessionId (-1 when the record did not say)
// -> messages in ascending date order.
using ChatMessagesBySession = std::map<std::int32_t, std::vector<ChatMessageItem>>;

// Reads the WhatsApp messages of `chatStoragePath` and adds them to
// `*bySession` (existing entries are extended). How many columns the schema
// declares for "ZWAMESSAGE" selects its record layout. Returns success; the
// page reader's code when it rejects the file; kQueryError when the file has
// no table "ZWAMESSAGE"; else the code of a table read that failed part of
// the way, and then whatever was read is still added (a damaged side table
// leaves its own fields empty, not the chats).
[[nodiscard]] std::error_code ParseWhatsApp(const std::string& chatStoragePath, ChatMessagesBySession* bySession);

// Fills each chat's member lists from its members, in member-list order:
// the first member's id and name (even an empty name) start the lists;
// each further member appends "," and its id, and "," and its name only
// when it has one. So the two lists need not have as many entries.
void FillMemberLists(std::vector<ChatSession>& chats, const std::vector<GroupMember>& members);

// Completes each message from the first chat whose sessionId equals its
// chatSessionId (a message without one is left as decoded):
//  - sender, senderJid and title from the chat's partner;
//  - chatJids/chatNames: the chat's member lists, or the partner's id and
//    name when the chat has no members;
//  - an own message (fromMe 1) is sent by kOwnSenderName with no id;
//    another with groupMemberId 2 or more (unsigned) is sent by the first
//    member with that memberId, when there is one.
// A chat is a group chat when its chatJids holds ",". The text of every
// message is kept, also for the first message of a group chat.
void CompleteChatMessages(std::vector<ChatMessageItem>& messages, const std::vector<ChatSession>& chats,
                          const std::vector<GroupMember>& members);

// Gives a media message without text the local path of the first media
// item with its mediaItemId, and a message deleted for everybody
// (kRevokedMessageType) kRevokedMessageText and the deleted mark; then
// keeps the messages with text.
std::vector<ChatMessageItem> KeepMessagesWithText(std::vector<ChatMessageItem> messages,
                                                  const std::vector<MediaItem>& media);

// Sorts `messages` by date (stable: equal dates keep decoder order) and
// appends each to the entry of its chatSessionId.
void GroupChatMessages(std::vector<ChatMessageItem> messages, ChatMessagesBySession* bySession);

}  // namespace scrivel::apps
