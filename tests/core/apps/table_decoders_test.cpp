#include "core/apps/table_decoders.h"

#include <gtest/gtest.h>

#include <set>

#include "core/common/result_codes.h"
#include "support/test_database.h"

namespace scrivel::apps {
namespace {

using sqlite::testing::CreateDatabase;
using sqlite::testing::SetTimeZone;
using sqlite::testing::TempFolder;

// "CREATE TABLE name(pk INTEGER PRIMARY KEY, c1, ..., c<columns-1>);" so
// that column cN stands at record position N, as the decoders count.
std::string PositionalTable(const std::string& name, int columns) {
  std::string sql = "CREATE TABLE " + name + "(pk INTEGER PRIMARY KEY";
  for (int i = 1; i < columns; ++i) sql += ", c" + std::to_string(i);
  return sql + ");";
}

// One row given as position -> SQL literal.
std::string Insert(const std::string& table, const std::vector<std::pair<int, std::string>>& values) {
  std::string columns, literals;
  for (const auto& [position, literal] : values) {
    columns += (columns.empty() ? "c" : ", c") + std::to_string(position);
    literals += (literals.empty() ? "" : ", ") + literal;
  }
  return "INSERT INTO " + table + "(" + columns + ") VALUES(" + literals + ");";
}

class TableDecodersTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTimeZone("UTC"); }

  // Builds the database and opens it.
  void Build(const std::string& sql, std::uint32_t pageSize = 1024) {
    CreateDatabase(m_folder.Path("db.sqlite"), pageSize, sql);
    ASSERT_FALSE(m_recovery.Open(m_folder.Path("db.sqlite").string()));
  }

  TempFolder m_folder;
  sqlite::DatabaseRecovery m_recovery;
};

TEST_F(TableDecodersTest, MessagesKeepTextDateSenderAndComeBackDeleted) {
  std::string sql = PositionalTable("message", 38);
  const auto message = [](const std::string& text, const std::string& date, bool fromMe, int handle) {
    return Insert("message", {{1, "printf('%036d', random())"}, {2, text}, {5, std::to_string(handle)}, {15, date},
                              {21, fromMe ? "1" : "0"}});
  };
  sql += message("'hello there'", "0", true, 7);            // rowid 1: date 0 is the reference date
  sql += message("NULL", "500000000", false, 1);            // rowid 2: no text: never produced
  sql += message("''", "500000000", false, 1);              // rowid 3: empty text: never produced
  sql += message("'float date'", "500000000.5", false, 2);  // rowid 4: a float date is not read
  sql += message("'ios 11 date'", "500000000000000000", false, 2);  // rowid 5: nanoseconds
  for (int i = 6; i <= 60; ++i) sql += message("'message number " + std::to_string(i) + "'", std::to_string(600000000 + i), i % 2 == 0, i % 5);
  sql += "DELETE FROM message WHERE pk % 4 = 0;";
  Build(sql);

  std::vector<MessageItem> items;
  ASSERT_FALSE(DecodeMessages(m_recovery, &items));
  std::set<std::string> live, deleted;
  for (const MessageItem& item : items) {
    ASSERT_FALSE(item.text.empty());
    (item.deleted ? deleted : live).insert(item.text);
    // A deleted row keeps its rowid only where the engine still found it.
    if (item.deleted && item.rowId != 0 && item.text.starts_with("message number ")) {
      EXPECT_EQ(item.rowId, std::stoi(item.text.substr(15)));
    }
  }
  EXPECT_EQ(live.size(), 2u + (60 - 5) - 14);  // rows 1 and 5, 6..60 without every 4th; row 4 deleted
  EXPECT_EQ(live.count("float date"), 0u);
  const MessageItem& first = items.front();
  EXPECT_EQ(first.text, "hello there");
  EXPECT_EQ(first.date, "2001-01-01 00:00:00");
  EXPECT_EQ(first.fromMe, 1);
  EXPECT_EQ(first.handleId, 7);
  EXPECT_EQ(first.rowId, 1);
  for (const MessageItem& item : items) {
    if (item.text == "ios 11 date") {
      EXPECT_EQ(item.date, "2016-11-05 00:53:20");
    }
    if (item.text == "message number 6") {
      EXPECT_EQ(item.date, "2020-01-06 10:40:06");
    }
  }
  // Every deleted record is one of the deleted rows, and most come back.
  for (const std::string& text : deleted) {
    const bool wasDeleted = text == "float date" ||
                            (text.starts_with("message number ") && std::stoi(text.substr(15)) % 4 == 0);
    EXPECT_TRUE(wasDeleted) << text;
  }
  EXPECT_GE(deleted.size(), 10u);
  EXPECT_EQ(HighestLiveRowId(items), 59u);
}

// A deleted message must show its GUID whole (36 characters); a live one is
// the database's own and is kept whatever its GUID.
TEST_F(TableDecodersTest, DeletedMessagesNeedTheirWholeGuid) {
  std::string sql = "PRAGMA secure_delete=OFF;" + PositionalTable("message", 38);
  // Only the first GUID is whole.
  const char* guids[] = {"printf('%036d', 7)", "'short-guid'", "NULL", "printf('%037d', 7)"};
  for (const char* guid : guids) sql += Insert("message", {{1, guid}, {2, "'message with guid ' || coalesce(" + std::string(guid) + ", 'none')"}});
  Build(sql + "DELETE FROM message WHERE pk > 1;");
  CreateDatabase(m_folder.Path("deleted.sqlite"), 1024, sql + "DELETE FROM message;");
  std::vector<MessageItem> live, deleted;
  ASSERT_FALSE(DecodeMessages(m_recovery, &live));
  ASSERT_FALSE(m_recovery.Open(m_folder.Path("deleted.sqlite").string()));
  ASSERT_FALSE(DecodeMessages(m_recovery, &deleted));
  ASSERT_EQ(live.front().deleted, 0);
  for (const MessageItem& item : deleted) {
    EXPECT_EQ(item.deleted, 1);
    EXPECT_EQ(item.text, "message with guid " + std::string(35, '0') + "7");
  }
  EXPECT_EQ(deleted.size(), 1u);
}

TEST_F(TableDecodersTest, HandlesAttachmentsAndLinks) {
  std::string sql = PositionalTable("handle", 5) + PositionalTable("attachment", 9) +
                    "CREATE TABLE message_attachment_join(message_id INTEGER, attachment_id INTEGER);";
  sql += Insert("handle", {{1, "'+15550001'"}}) + Insert("handle", {{1, "''"}}) + Insert("handle", {{1, "'a@b.c'"}});
  sql += "INSERT INTO message_attachment_join VALUES (11, 21), (12, 22);";
  sql += Insert("attachment", {{4, "'/Attachments/x.jpg'"}}) + Insert("attachment", {{3, "'no file name'"}});
  Build(sql);
  std::vector<HandleRecord> handles;
  ASSERT_FALSE(DecodeHandles(m_recovery, &handles));
  ASSERT_EQ(handles.size(), 2u);  // the empty id is not produced
  EXPECT_EQ(handles[0].id, "+15550001");
  EXPECT_EQ(handles[1].rowId, 3);
  std::vector<AttachmentLink> links;
  ASSERT_FALSE(DecodeAttachmentLinks(m_recovery, &links));
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[1].messageId, 12);
  EXPECT_EQ(links[1].attachmentId, 22);
  std::vector<AttachmentRecord> attachments;
  ASSERT_FALSE(DecodeAttachments(m_recovery, &attachments));
  ASSERT_EQ(attachments.size(), 1u);
  EXPECT_EQ(attachments[0].filename, "/Attachments/x.jpg");
}

TEST_F(TableDecodersTest, ContactsSpaceNamesAndKeepLiveRowsWhateverTheirTexts) {
  std::string sql = PositionalTable("ABPersonFullTextSearch_content", 24);
  sql += Insert("ABPersonFullTextSearch_content", {{1, "'Ann'"}, {2, "'Lee'"}, {7, "'Acme'"}, {16, "'5550001 +15550001'"}, {17, "'ann@example.com'"}});
  sql += Insert("ABPersonFullTextSearch_content", {{1, "'Bad'"}, {16, "'555' || char(10) || '0002'"}});
  sql += Insert("ABPersonFullTextSearch_content", {{1, "'Bob'"}, {7, "CAST(X'C328' AS TEXT)"}});  // a text that is not UTF-8
  sql += Insert("ABPersonFullTextSearch_content", {{2, "'Solo'"}, {16, "'5550003'"}});
  Build(sql);
  std::vector<ContactItem> contacts;
  ASSERT_FALSE(DecodeContacts(m_recovery, &contacts));
  ASSERT_EQ(contacts.size(), 4u);
  EXPECT_EQ(contacts[0].name, "Ann Lee");
  EXPECT_EQ(contacts[0].company, "Acme");
  EXPECT_EQ(contacts[0].phone, "5550001 +15550001");
  EXPECT_EQ(contacts[0].email, "ann@example.com");
  EXPECT_EQ(contacts[1].phone, "555\n0002");
  EXPECT_EQ(contacts[2].company, "\xEF\xBF\xBD(");  // the byte that is not UTF-8 shows as U+FFFD
  EXPECT_EQ(contacts[3].name, "Solo");
}

TEST_F(TableDecodersTest, LiveRowsAreKeptWhateverTheirTextsAndDeletedOnesAreTested) {
  // Messages whose text holds U+FFFD, a NUL or bytes that are not UTF-8.
  const std::string badTexts[] = {"'with ' || char(65533) || ' mark'", "'nul' || char(0) || 'inside'",
                                  "CAST(X'62616420FF2062797465' AS TEXT)"};  // "bad \xff byte"
  const char* shown[] = {"with \xEF\xBF\xBD mark", "nul", "bad \xEF\xBF\xBD byte"};
  std::string sql = "PRAGMA secure_delete=OFF;" + PositionalTable("message", 38);
  for (const std::string& text : badTexts) {
    sql += Insert("message", {{1, "printf('%036d', 1)"}, {2, text}, {15, "600000000"}});
  }
  Build(sql);
  std::vector<MessageItem> live;
  ASSERT_FALSE(DecodeMessages(m_recovery, &live));
  ASSERT_EQ(live.size(), 3u);
  for (std::size_t i = 0; i < live.size(); ++i) {
    EXPECT_EQ(live[i].deleted, 0);
    EXPECT_EQ(live[i].text.substr(0, std::string_view(shown[i]).size()), shown[i]) << i;
  }

  // The same rows once deleted lie in free space: the text test now sorts
  // them out, as it does bytes that only look like a record.
  CreateDatabase(m_folder.Path("deleted.sqlite"), 1024, sql + "DELETE FROM message;");
  ASSERT_FALSE(m_recovery.Open(m_folder.Path("deleted.sqlite").string()));
  std::vector<MessageItem> deleted;
  ASSERT_FALSE(DecodeMessages(m_recovery, &deleted));
  EXPECT_TRUE(deleted.empty());
}

TEST_F(TableDecodersTest, CallsInBothLayouts) {
  std::string sql = PositionalTable("call", 13) + PositionalTable("ZCALLRECORD", 17);
  sql += Insert("call", {{1, "'+15550001'"}, {2, "1400000000"}, {3, "65"}, {4, "0"}});
  sql += Insert("call", {{1, "'+1555' || char(9)"}, {2, "1400000000"}});  // a live row keeps its control character
  sql += Insert("call", {{1, "'+15550003'"}});                            // no date: dropped
  sql += Insert("ZCALLRECORD", {{8, "1"}, {10, "600000000.75"}, {11, "12"}, {12, "'+15550004'"}});
  Build(sql);
  std::vector<CallItem> calls;
  ASSERT_FALSE(DecodeCalls(m_recovery, "call", CallRecordLayout::kCallHistoryDb, &calls));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].address, "+1555\t");
  EXPECT_EQ(calls[0].address, "+15550001");
  EXPECT_EQ(calls[0].date, "2014-05-13 16:53:20");
  EXPECT_EQ(calls[0].duration, 65);
  EXPECT_EQ(calls[0].incoming, 1);
  calls.clear();
  ASSERT_FALSE(DecodeCalls(m_recovery, "ZCALLRECORD", CallRecordLayout::kStoreData, &calls));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].date, "2020-01-06 10:40:00");
  EXPECT_EQ(calls[0].incoming, 0);
}

TEST_F(TableDecodersTest, WhatsAppTables) {
  std::string sql = PositionalTable("ZWAMESSAGE", 34) + PositionalTable("ZWACHATSESSION", 25) +
                    PositionalTable("ZWAGROUPMEMBER", 13) + PositionalTable("ZWAMEDIAITEM", 24);
  sql += Insert("ZWAMESSAGE", {{12, "1"}, {19, "4"}, {20, "9"}, {22, "3"}, {25, "600000000.75"}, {32, "'hi'"}});
  sql += Insert("ZWAMESSAGE", {{12, "0"}, {32, "'no chat, sender or date'"}});
  sql += Insert("ZWACHATSESSION", {{20, "'4915550001@s.whatsapp.net'"}, {23, "'Ann'"}});
  sql += Insert("ZWACHATSESSION", {{20, "'no-server-part'"}, {23, "'Group'"}});
  sql += Insert("ZWAGROUPMEMBER", {{7, "2"}, {10, "'Bob'"}, {12, "'4915550002@s.whatsapp.net'"}});
  sql += Insert("ZWAMEDIAITEM", {{18, "'Media/a.jpg'"}});
  Build(sql);
  std::vector<ChatMessageItem> messages;
  ASSERT_FALSE(DecodeWhatsAppMessages(m_recovery, 34, &messages));
  ASSERT_EQ(messages.size(), 1u);  // layout B needs a chat, a sender or a date
  EXPECT_EQ(messages[0].text, "hi");
  EXPECT_EQ(messages[0].fromMe, 1);
  EXPECT_EQ(messages[0].chatSessionId, 4);
  EXPECT_EQ(messages[0].groupMemberId, 9);
  EXPECT_EQ(messages[0].mediaItemId, 3);
  EXPECT_EQ(messages[0].date, "2020-01-06 10:40:00");
  EXPECT_EQ(messages[0].messageId, 1);

  std::vector<ChatSession> sessions;
  ASSERT_FALSE(DecodeChatSessions(m_recovery, &sessions));
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0].contactJid, "4915550001");
  EXPECT_EQ(sessions[0].partnerName, "Ann");
  EXPECT_EQ(sessions[1].contactJid, "");
  std::vector<GroupMember> members;
  ASSERT_FALSE(DecodeGroupMembers(m_recovery, &members));
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].memberJid, "4915550002");
  EXPECT_EQ(members[0].chatSessionId, 2);
  std::vector<MediaItem> media;
  ASSERT_FALSE(DecodeMediaItems(m_recovery, &media));
  ASSERT_EQ(media.size(), 1u);
  EXPECT_EQ(media[0].localPath, "Media/a.jpg");
}

TEST_F(TableDecodersTest, DeletedRowsOnFreePagesOfTheTableOnly) {
  // 38-column messages fill whole pages; deleting a run of them frees
  // pages. A 37-column table's free pages are not taken for messages.
  std::string sql = PositionalTable("message", 38) + PositionalTable("other", 37);
  for (int i = 1; i <= 80; ++i) {
    sql += Insert("message", {{1, "'" + std::string(36, 'g') + "'"}, {2, "'long message text " + std::to_string(i) + "'"}});
    sql += Insert("other", {{2, "'other text " + std::to_string(i) + "'"}});
  }
  sql += "DELETE FROM message WHERE pk > 10; DELETE FROM other;";
  Build(sql, 512);
  ASSERT_FALSE(m_recovery.Reader().FreePages().empty());
  std::vector<MessageItem> items;
  ASSERT_FALSE(DecodeMessages(m_recovery, &items));
  std::size_t deleted = 0;
  for (const MessageItem& item : items) {
    EXPECT_TRUE(item.text.starts_with("long message text ")) << item.text;
    if (item.deleted) {
      ++deleted;
      EXPECT_GT(std::stoi(item.text.substr(18)), 10);
    }
  }
  EXPECT_GE(deleted, 50u);
}

}  // namespace
}  // namespace scrivel::apps
