// The message joins (handles, contacts, attachments and their links) and
// the grouping by partner, on decoded records.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/apps/messages.h"

namespace scrivel::apps {
namespace {

MessageItem Message(int rowId, int handleId, std::string date, std::string text = "hi") {
  MessageItem message;
  message.rowId = rowId;
  message.deleted = rowId == 0 ? 1 : 0;
  message.handleId = handleId;
  message.date = std::move(date);
  message.text = std::move(text);
  return message;
}

ContactItem Contact(std::string name, std::string phone) {
  ContactItem contact;
  contact.name = std::move(name);
  contact.phone = std::move(phone);
  return contact;
}

// The joins as nested linear searches, first match ending each inner
// search: the model the indexed joins must agree with.
void NaiveComplete(std::vector<MessageItem>& messages, const std::vector<HandleRecord>& handles,
                   std::vector<AttachmentRecord>& attachments, const std::vector<AttachmentLink>& links,
                   const std::vector<ContactItem>& contacts) {
  for (AttachmentRecord& attachment : attachments)
    for (const AttachmentLink& link : links)
      if (attachment.rowId != 0 && link.attachmentId == attachment.rowId) {
        attachment.messageId = link.messageId;
        break;
      }
  for (MessageItem& message : messages) {
    for (const HandleRecord& handle : handles)
      if (handle.rowId != 0 && handle.rowId == message.handleId) {
        message.address = handle.id;
        break;
      }
    if (!message.address.empty())
      for (const ContactItem& contact : contacts)
        if (contact.phone.find(message.address) != std::string::npos) {
          message.name = contact.name;
          break;
        }
    for (const AttachmentRecord& attachment : attachments)
      if (attachment.messageId != 0 && attachment.messageId == message.rowId) {
        message.attachment = attachment.filename;
        break;
      }
  }
}

bool SameMessage(const MessageItem& a, const MessageItem& b) {
  return a.rowId == b.rowId && a.handleId == b.handleId && a.address == b.address && a.name == b.name &&
         a.attachment == b.attachment && a.text == b.text;
}

TEST(CompleteMessages, AgreesWithNestedFirstMatchSearchesOnRandomTables) {
  // Small id ranges make repeated ids (a live row and its deleted copy,
  // several links per attachment) common, which is where first-match
  // order matters.
  std::mt19937 random(7);
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int round = 0; round < 20; ++round) {
    std::vector<HandleRecord> handles;
    for (int i = 0; i < 30; ++i) handles.push_back({pick(0, 1), pick(0, 12), "+1408555" + std::to_string(pick(1000, 1015))});
    std::vector<ContactItem> contacts;
    for (int i = 0; i < 25; ++i)
      contacts.push_back(Contact("C" + std::to_string(i), "1408555" + std::to_string(pick(1000, 1015)) + " 555" +
                                                             std::to_string(pick(1000, 1015)) + " "));
    std::vector<AttachmentRecord> attachments;
    for (int i = 0; i < 30; ++i) attachments.push_back({pick(0, 1), pick(0, 15), 0, "/Attachments/" + std::to_string(i)});
    std::vector<AttachmentLink> links;
    for (int i = 0; i < 30; ++i) links.push_back({pick(0, 1), pick(0, 15), pick(0, 40)});
    std::vector<MessageItem> messages;
    for (int i = 0; i < 60; ++i) messages.push_back(Message(pick(0, 40), pick(0, 14), "2020"));
    for (MessageItem& message : messages)
      if (pick(0, 3) == 0) message.handleId = pick(-2, 20);

    std::vector<MessageItem> expected = messages;
    std::vector<AttachmentRecord> expectedAttachments = attachments;
    NaiveComplete(expected, handles, expectedAttachments, links, contacts);

    LinkAttachments(attachments, links);
    CompleteMessages(messages, handles, attachments, contacts);
    for (std::size_t i = 0; i < attachments.size(); ++i)
      EXPECT_EQ(attachments[i].messageId, expectedAttachments[i].messageId) << "round " << round << " attachment " << i;
    for (std::size_t i = 0; i < messages.size(); ++i)
      EXPECT_TRUE(SameMessage(messages[i], expected[i])) << "round " << round << " message " << i;
  }
}

TEST(CompleteMessages, EdgeCases) {
  const std::vector<HandleRecord> handles = {
      {0, 0, "ghost"},            // rowId 0 matches nothing, not even handleId 0
      {0, 3, "+14085551234"},
      {1, 3, "+19999999999"},     // a deleted copy behind the live row: the first wins
      {0, 4, "friend@example.com"},
  };
  const std::vector<ContactItem> contacts = {
      Contact("First", "+14085551234 14085551234 "),
      Contact("Second", "+14085551234 "),
      Contact("Third", "+14085551234 "),
  };
  std::vector<AttachmentRecord> attachments = {
      {1, 0, 0, "/Attachments/dd/rebuilt-without-rowid.jpg"},  // must not pair with link {0, 0, 10}
      {0, 1, 0, "/Attachments/aa/unlinked.jpg"},
      {0, 2, 0, "/Attachments/bb/first.jpg"},
      {0, 5, 0, "/Attachments/cc/second.jpg"},
  };
  const std::vector<AttachmentLink> links = {{1, 0, 10}, {0, 2, 10}, {0, 5, 10}, {0, 5, 11}};
  std::vector<MessageItem> messages = {
      Message(10, 3, "2020"),  // partner with three matching contacts, two attachments
      Message(0, 3, "2020"),   // deleted: rowId 0 gets no attachment, not even an unlinked one
      Message(12, 7, "2020"),  // no such handle
      Message(13, 0, "2020"),
      Message(14, 4, "2020"),  // address without a contact
  };
  LinkAttachments(attachments, links);
  EXPECT_EQ(attachments[0].messageId, 0);
  EXPECT_EQ(attachments[1].messageId, 0);
  EXPECT_EQ(attachments[3].messageId, 10);
  CompleteMessages(messages, handles, attachments, contacts);

  EXPECT_EQ(messages[0].address, "+14085551234");
  EXPECT_EQ(messages[0].name, "First");
  EXPECT_EQ(messages[0].attachment, "/Attachments/bb/first.jpg");
  EXPECT_EQ(messages[1].address, "+14085551234");
  EXPECT_EQ(messages[1].name, "First");
  EXPECT_EQ(messages[1].attachment, "");
  for (int i : {2, 3}) {
    EXPECT_EQ(messages[i].address, "") << i;
    EXPECT_EQ(messages[i].name, "") << i;
  }
  EXPECT_EQ(messages[4].address, "friend@example.com");
  EXPECT_EQ(messages[4].name, "");
}

TEST(GroupMessagesByHandle, OneEntryPerPartnerInDateOrder) {
  MessagesByHandle byHandle;
  byHandle[5].push_back(Message(1, 5, "2019-01-01 00:00:00", "already there"));
  GroupMessagesByHandle(
      {
          Message(20, 5, "2021-03-01 10:00:00", "b"),
          Message(21, 6, "2020-01-01 00:00:00", "x"),
          Message(0, 0, "2020-06-01 00:00:00", "lost partner"),
          Message(22, 5, "2020-03-01 10:00:00", "a"),
          Message(23, 5, "2021-03-01 10:00:00", "c"),  // same date as b, found after it
          Message(0, 5, "", "no date"),
      },
      &byHandle);
  ASSERT_EQ(byHandle.size(), 3u);
  std::vector<std::string> texts;
  for (const MessageItem& message : byHandle[5]) texts.push_back(message.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"already there", "no date", "a", "b", "c"}));
  ASSERT_EQ(byHandle[0].size(), 1u);
  EXPECT_EQ(byHandle[0][0].text, "lost partner");
  EXPECT_EQ(byHandle[6].size(), 1u);
}

TEST(GroupMessagesByHandle, EqualDatesKeepDecoderOrder) {
  // A stable sort: live rows (decoded first) stay before their deleted
  // copies of the same second, on every run.
  std::vector<MessageItem> messages;
  for (int i = 0; i < 100; ++i) messages.push_back(Message(i + 1, 1, i % 3 ? "2020-01-01 00:00:00" : "2020-01-01 00:00:01"));
  MessagesByHandle byHandle;
  GroupMessagesByHandle(messages, &byHandle);
  const std::vector<MessageItem>& sorted = byHandle[1];
  ASSERT_EQ(sorted.size(), 100u);
  for (std::size_t i = 1; i < sorted.size(); ++i)
    if (sorted[i].date == sorted[i - 1].date) {
      EXPECT_LT(sorted[i - 1].rowId, sorted[i].rowId);
    }
}

}  // namespace
}  // namespace scrivel::apps
