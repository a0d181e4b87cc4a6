#include "core/results/conversation_rows.h"

#include <gtest/gtest.h>

#include "core/results/record_texts.h"
#include "core/results/sort_orders.h"
#include "core/apps/call_history.h"

namespace scrivel {
namespace {

using apps::CallItem;
using apps::ChatMessageItem;
using apps::MessageItem;
using apps::NoteItem;

MessageItem Message(std::int32_t handleId, const char* date, const char* text, std::int32_t deleted = 0) {
  MessageItem message;
  message.handleId = handleId;
  message.date = date;
  message.text = text;
  message.deleted = deleted;
  return message;
}

TEST(ConversationRowsTest, OneRowPerConversationFromItsLastMessage) {
  ConversationMap conversations;
  conversations[7] = {Message(7, "2024-01-01 10:00:00", "first"), Message(7, "2024-01-01 11:00:00", "gone", 1),
                      Message(7, "2024-01-01 12:00:00", "last")};
  conversations[3] = {Message(3, "2024-02-01 09:00:00", "only")};
  conversations[9] = {};  // an empty list makes no row

  const std::vector<MessageItem> rows = BuildConversationRows(conversations);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].handleId, 3);
  EXPECT_EQ(rows[0].deleted, 0);
  EXPECT_EQ(rows[1].text, "last");
  EXPECT_EQ(rows[1].deleted, 1);  // one deleted message marks the whole conversation
  EXPECT_EQ(conversations[7][2].deleted, 0);  // the map itself is untouched

  ChatMap chats;
  ChatMessageItem chat;
  chat.chatSessionId = -1;
  chat.text = "hello";
  chats[-1] = {chat};
  const std::vector<ChatMessageItem> chatRows = BuildChatRows(chats);
  ASSERT_EQ(chatRows.size(), 1u);
  EXPECT_EQ(chatRows[0].chatSessionId, -1);
}

TEST(SortOrdersTest, DeletedFirstKeepsTheIncomingOrder) {
  std::vector<NoteItem> notes(5);
  const int deleted[] = {0, 1, 0, 1, 0};
  for (int i = 0; i < 5; ++i) {
    notes[i].noteKey = i;
    notes[i].deleted = deleted[i];
  }
  SortDeletedFirst(notes);
  std::vector<int> keys;
  for (const NoteItem& note : notes) keys.push_back(note.noteKey);
  EXPECT_EQ(keys, (std::vector<int>{1, 3, 0, 2, 4}));
}

TEST(SortOrdersTest, CallHistoryIsDeletedFirstThenNewestFirst) {
  const struct {
    const char* date;
    int deleted;
    const char* address;
  } input[] = {
      {"2024-01-01 08:00:00", 0, "a"}, {"2024-03-01 08:00:00", 1, "b"}, {"2024-02-01 08:00:00", 0, "c"},
      {"2024-01-15 08:00:00", 1, "d"}, {"2024-02-01 08:00:00", 0, "e"},
  };
  std::vector<CallItem> calls;
  for (const auto& row : input) {
    CallItem call;
    call.date = row.date;
    call.deleted = row.deleted;
    call.address = row.address;
    calls.push_back(call);
  }
  SortCallHistory(calls);
  std::string order;
  for (const CallItem& call : calls) order += call.address;
  EXPECT_EQ(order, "bdcea");  // equal dates keep their order (c before e)
}

TEST(RecordTextsTest, CallTextsAndSenderLabels) {
  const struct {
    int incoming;
    int duration;
    const char* type;
    const char* text;
  } calls[] = {
      {1, 75, "Incoming", "1 Min 15 Sec"},
      {0, 0, "Outgoing", "Canceled"},
      {1, 0, "Incoming", "Missed"},
      {0, 3725, "Outgoing", "1 Hour 2 Min"},
  };
  for (const auto& row : calls) {
    CallItem call;
    call.incoming = row.incoming;
    call.duration = row.duration;
    EXPECT_EQ(std::string(CallTypeText(call)), row.type);
    EXPECT_EQ(CallDurationText(call), row.text) << row.duration;
  }

  MessageItem message;
  message.address = "+15550100";
  EXPECT_EQ(MessageSenderLabel(message), "+15550100");
  message.name = "Unknown";
  EXPECT_EQ(MessageSenderLabel(message), "+15550100");
  EXPECT_EQ(MessageSenderName(message), "+15550100");
  message.name = "Ann";
  EXPECT_EQ(MessageSenderLabel(message), "Ann(+15550100)");
  EXPECT_EQ(MessageSenderName(message), "Ann");

  ChatMessageItem own;
  own.senderName = "Me";
  EXPECT_EQ(ChatSenderLabel(own), "Me()");
}

}  // namespace
}  // namespace scrivel
