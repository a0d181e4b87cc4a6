#include "core/apps/whatsapp.h"

#include <unordered_map>
#include <utility>

#include "core/common/result_codes.h"
#include "core/apps/assembly_index.h"
#include "core/apps/assembly_order.h"
#include "core/apps/assembly_table_columns.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"

namespace scrivel::apps {

namespace {

constexpr const char* kMessageTable = "ZWAMESSAGE";
// Group member ids 0 and 1 name no member: the message shows the chat.
constexpr std::uint32_t kFirstGroupMemberId = 2;

// The three side tables, read before the messages.
struct ChatTables {
  std::vector<MediaItem> media;
  std::vector<ChatSession> chats;
  std::vector<GroupMember> members;
};

// Reads all three; a table that fails costs its own rows, never the others
// or the messages. Returns the first failure.
std::error_code ReadChatTables(sqlite::DatabaseRecovery& chatStorage, ChatTables* tables) {
  const std::error_code media = DecodeMediaItems(chatStorage, &tables->media);
  const std::error_code chats = DecodeChatSessions(chatStorage, &tables->chats);
  const std::error_code members = DecodeGroupMembers(chatStorage, &tables->members);
  return media ? media : chats ? chats : members;
}

}  // namespace

void FillMemberLists(std::vector<ChatSession>& chats, const std::vector<GroupMember>& members) {
  std::unordered_map<std::int32_t, std::vector<const GroupMember*>> membersByChat;
  for (const GroupMember& member : members) membersByChat[member.chatSessionId].push_back(&member);
  for (ChatSession& chat : chats) {
    const auto found = membersByChat.find(chat.sessionId);
    if (found == membersByChat.end()) continue;
    for (const GroupMember* member : found->second) {
      if (chat.memberJids.empty()) {
        chat.memberJids = member->memberJid;
        chat.memberNames = member->contactName;
        continue;
      }
      chat.memberJids += ',';
      chat.memberJids += member->memberJid;
      if (!member->contactName.empty()) {
        chat.memberNames += ',';
        chat.memberNames += member->contactName;
      }
    }
  }
}

void CompleteChatMessages(std::vector<ChatMessageItem>& messages, const std::vector<ChatSession>& chats,
                          const std::vector<GroupMember>& members) {
  const auto chatById = FirstByKey(chats, &ChatSession::sessionId);
  const auto memberById = FirstByKey(members, &GroupMember::memberId);
  for (ChatMessageItem& message : messages) {
    const ChatSession* chat = FindFirst(chatById, message.chatSessionId);
    if (!chat) continue;
    message.senderJid = chat->contactJid;
    message.senderName = chat->partnerName;
    message.chatTitle = chat->partnerName;
    message.chatJids = chat->memberJids.empty() ? chat->contactJid : chat->memberJids;
    message.chatNames = chat->memberNames.empty() ? chat->partnerName : chat->memberNames;
    if (message.fromMe == 1) {
      message.senderName = kOwnSenderName;
      message.senderJid.clear();
    } else if (static_cast<std::uint32_t>(message.groupMemberId) >= kFirstGroupMemberId) {
      if (const GroupMember* member = FindFirst(memberById, message.groupMemberId)) {
        message.senderName = member->contactName;
        message.senderJid = member->memberJid;
      }
    }
  }
}

std::vector<ChatMessageItem> KeepMessagesWithText(std::vector<ChatMessageItem> messages,
                                                  const std::vector<MediaItem>& media) {
  const auto mediaById = FirstByKey(media, &MediaItem::mediaId);
  std::vector<ChatMessageItem> kept;
  kept.reserve(messages.size());
  for (ChatMessageItem& message : messages) {
    if (message.mediaItemId != 0 && message.text.empty())
      if (const MediaItem* item = FindFirst(mediaById, message.mediaItemId)) message.text = item->localPath;
    if (message.messageType == kRevokedMessageType && message.text.empty()) {
      message.text = kRevokedMessageText;
      message.deleted = 1;
    }
    if (!message.text.empty()) kept.push_back(std::move(message));
  }
  return kept;
}

void GroupChatMessages(std::vector<ChatMessageItem> messages, ChatMessagesBySession* bySession) {
  GroupInTextOrder(std::move(messages), &ChatMessageItem::chatSessionId, &ChatMessageItem::date, bySession);
}

std::error_code ParseWhatsApp(const std::string& chatStoragePath, ChatMessagesBySession* bySession) {
  sqlite::DatabaseRecovery chatStorage;
  if (const std::error_code rc = chatStorage.Open(chatStoragePath); rc) return rc;
  // The declared width of the message table tells the record layout (older
  // WhatsApp versions have up to 28 columns, later ones more).
  int messageColumns = 0;
  if (const std::error_code rc = CountTableColumns(chatStorage, kMessageTable, &messageColumns); rc) return rc;

  ChatTables tables;
  const std::error_code tablesRead = ReadChatTables(chatStorage, &tables);
  FillMemberLists(tables.chats, tables.members);
  std::vector<ChatMessageItem> messages;
  const std::error_code messagesRead = DecodeWhatsAppMessages(chatStorage, messageColumns, &messages);

  // What was read is kept even when a table failed part of the way; the
  // failure is still reported, so the scan can say the chats may be short.
  CompleteChatMessages(messages, tables.chats, tables.members);
  GroupChatMessages(KeepMessagesWithText(std::move(messages), tables.media), bySession);
  return messagesRead ? messagesRead : tablesRead;
}

}  // namespace scrivel::apps
