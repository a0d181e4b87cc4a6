// WhatsApp chat completion, media paths, filtering and grouping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/apps/whatsapp.h"

namespace scrivel::apps {
namespace {

ChatSession Chat(int id, std::string jid, std::string partner) {
  ChatSession chat;
  chat.sessionId = id;
  chat.contactJid = std::move(jid);
  chat.partnerName = std::move(partner);
  return chat;
}

GroupMember Member(int id, int chat, std::string jid, std::string name) {
  GroupMember member;
  member.memberId = id;
  member.chatSessionId = chat;
  member.memberJid = std::move(jid);
  member.contactName = std::move(name);
  return member;
}

ChatMessageItem ChatMessage(int chat, std::string text, std::string date = "2020-01-01 00:00:00") {
  ChatMessageItem message;
  message.chatSessionId = chat;
  message.text = std::move(text);
  message.date = std::move(date);
  return message;
}

class WhatsAppAssembly : public ::testing::Test {
 protected:
  void SetUp() override {
    chats = {Chat(1, "4915112345678", "Lena"), Chat(2, "120363000000", "Climbing group")};
    members = {
        Member(10, 2, "4915112345678", "Lena"),
        Member(11, 2, "33612345678", ""),  // no contact name
        Member(12, 2, "447700900123", "Sam"),
        Member(13, 9, "1555000000", "In another chat"),
    };
    FillMemberLists(chats, members);
  }

  std::vector<ChatSession> chats;
  std::vector<GroupMember> members;
};

TEST_F(WhatsAppAssembly, GroupMemberListsSkipMissingNames) {
  EXPECT_EQ(chats[0].memberJids, "");
  EXPECT_EQ(chats[0].memberNames, "");
  EXPECT_EQ(chats[1].memberJids, "4915112345678,33612345678,447700900123");
  EXPECT_EQ(chats[1].memberNames, "Lena,Sam");
}

TEST_F(WhatsAppAssembly, FirstMemberStartsTheListsEvenWithoutAName) {
  std::vector<ChatSession> group = {Chat(3, "120363000001", "Trip")};
  FillMemberLists(group, {Member(20, 3, "111", ""), Member(21, 3, "222", "Bo"), Member(22, 3, "333", "Cy")});
  EXPECT_EQ(group[0].memberJids, "111,222,333");
  EXPECT_EQ(group[0].memberNames, ",Bo,Cy");
}

TEST_F(WhatsAppAssembly, OneToOneChat) {
  std::vector<ChatMessageItem> messages = {ChatMessage(1, "hallo"), ChatMessage(1, "hi Lena")};
  messages[1].fromMe = 1;
  CompleteChatMessages(messages, chats, members);
  EXPECT_EQ(messages[0].senderName, "Lena");
  EXPECT_EQ(messages[0].senderJid, "4915112345678");
  EXPECT_EQ(messages[0].chatJids, "4915112345678");
  EXPECT_EQ(messages[0].chatNames, "Lena");
  EXPECT_EQ(messages[0].chatTitle, "Lena");
  EXPECT_EQ(messages[1].senderName, kOwnSenderName);
  EXPECT_EQ(messages[1].senderJid, "");
  EXPECT_EQ(messages[1].chatTitle, "Lena");
}

TEST_F(WhatsAppAssembly, GroupChatSenders) {
  std::vector<ChatMessageItem> messages = {ChatMessage(2, "from Sam"), ChatMessage(2, "member 0"),
                                           ChatMessage(2, "member 1"), ChatMessage(2, "unknown member"),
                                           ChatMessage(2, "negative id")};
  messages[0].groupMemberId = 12;
  messages[1].groupMemberId = 0;
  messages[2].groupMemberId = 1;
  messages[3].groupMemberId = 99;
  messages[4].groupMemberId = -5;  // compared as unsigned: a member id, but no member has it
  CompleteChatMessages(messages, chats, members);
  EXPECT_EQ(messages[0].senderName, "Sam");
  EXPECT_EQ(messages[0].senderJid, "447700900123");
  for (int i = 1; i < 5; ++i) {
    EXPECT_EQ(messages[i].senderName, "Climbing group") << i;
    EXPECT_EQ(messages[i].senderJid, "120363000000") << i;
  }
  EXPECT_EQ(messages[0].chatJids, "4915112345678,33612345678,447700900123");
  EXPECT_EQ(messages[0].chatNames, "Lena,Sam");
  EXPECT_EQ(messages[0].chatTitle, "Climbing group");
}

TEST_F(WhatsAppAssembly, GroupChatMessageAfterAnotherChatKeepsItsText) {
  // Read without interleaving: the first message of the group follows a
  // message of the one-to-one chat, and the group's first message starts
  // the list.
  std::vector<ChatMessageItem> messages = {ChatMessage(2, "group first"), ChatMessage(2, "group second"),
                                           ChatMessage(1, "direct"), ChatMessage(2, "group after direct")};
  CompleteChatMessages(messages, chats, members);
  const std::vector<ChatMessageItem> kept = KeepMessagesWithText(messages, {});
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_EQ(kept[0].text, "group first");
  EXPECT_EQ(kept[3].text, "group after direct");
}

TEST_F(WhatsAppAssembly, MessageWithoutChatKeepsEmptyNames) {
  std::vector<ChatMessageItem> messages = {ChatMessage(-1, "orphan"), ChatMessage(77, "gone chat")};
  CompleteChatMessages(messages, chats, members);
  for (const ChatMessageItem& message : messages) {
    EXPECT_EQ(message.senderName, "");
    EXPECT_EQ(message.chatJids, "");
    EXPECT_EQ(message.chatTitle, "");
  }
  ChatMessagesBySession bySession;
  GroupChatMessages(messages, &bySession);
  EXPECT_EQ(bySession.count(-1), 1u);
  EXPECT_EQ(bySession.count(77), 1u);
}

TEST(KeepMessagesWithText, MediaPathStandsInForMissingText) {
  const std::vector<MediaItem> media = {{0, 5, "Media/4915112345678/a/b/photo.jpg"}, {1, 5, "older copy.jpg"},
                                        {0, 6, ""}};
  std::vector<ChatMessageItem> messages = {ChatMessage(1, ""), ChatMessage(1, "caption"), ChatMessage(1, ""),
                                           ChatMessage(1, ""), ChatMessage(1, "")};
  messages[0].mediaItemId = 5;
  messages[1].mediaItemId = 5;  // has text: keeps it
  messages[2].mediaItemId = 8;  // media item missing: dropped
  messages[3].mediaItemId = 6;  // media item without a path: dropped
  const std::vector<ChatMessageItem> kept = KeepMessagesWithText(messages, media);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].text, "Media/4915112345678/a/b/photo.jpg");
  EXPECT_EQ(kept[1].text, "caption");
}

TEST(KeepMessagesWithText, MessageDeletedForEverybodyStaysAsDeleted) {
  std::vector<ChatMessageItem> messages = {ChatMessage(1, ""), ChatMessage(1, "")};
  messages[0].messageType = kRevokedMessageType;
  messages[0].date = "2024-03-01 10:00:00";
  const std::vector<ChatMessageItem> kept = KeepMessagesWithText(messages, {});
  ASSERT_EQ(kept.size(), 1u);  // an ordinary message without text still goes
  EXPECT_EQ(kept[0].text, kRevokedMessageText);
  EXPECT_EQ(kept[0].deleted, 1);
  EXPECT_EQ(kept[0].date, "2024-03-01 10:00:00");
}

TEST(GroupChatMessages, EachChatInDateOrderEqualDatesInDecoderOrder) {
  ChatMessagesBySession bySession;
  bySession[1].push_back(ChatMessage(1, "earlier call", "2018-01-01 00:00:00"));
  std::vector<ChatMessageItem> messages;
  for (int i = 0; i < 40; ++i)
    messages.push_back(ChatMessage(1 + i % 2, std::to_string(i), i % 3 ? "2020-01-01 00:00:00" : "2019-01-01 00:00:00"));
  GroupChatMessages(messages, &bySession);
  ASSERT_EQ(bySession[1].size(), 21u);
  EXPECT_EQ(bySession[1][0].text, "earlier call");
  for (const auto& [chat, list] : bySession)
    for (std::size_t i = 2; i < list.size(); ++i) {
      EXPECT_LE(list[i - 1].date, list[i].date);
      if (list[i - 1].date == list[i].date) {
        EXPECT_LT(std::stoi(list[i - 1].text), std::stoi(list[i].text));
      }
    }
}

}  // namespace
}  // namespace scrivel::apps
