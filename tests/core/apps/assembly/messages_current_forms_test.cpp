// Messages in the forms of current iOS versions: reactions attached to the
// messages they react to, "Recently Deleted", and a whole iOS 16 sms.db of
// "message" and "handle" only (no chat tables) with bodies only in
// attributedBody, an edited and an unsent message.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <map>
#include <string>
#include <vector>

#include "core/apps/message_reactions.h"
#include "core/apps/message_text.h"
#include "core/apps/messages.h"
#include "core/apps/messages_recently_deleted.h"
#include "fixtures/database_builder.h"
#include "fixtures/embedded_schemas.h"
#include "fixtures/sql_values.h"
#include "fixtures/temporary_folder.h"
#include "fixtures/typedstream_archive.h"

namespace scrivel::apps {
namespace {

MessageItem Message(std::string guid, std::string text) {
  MessageItem message;
  message.guid = std::move(guid);
  message.text = std::move(text);
  return message;
}

MessageItem Reaction(int type, std::string target, std::string name, bool fromMe = false) {
  MessageItem reaction = Message("", "Reacted to a message");
  reaction.reactionType = type;
  reaction.reactionTarget = std::move(target);
  reaction.name = std::move(name);
  reaction.fromMe = fromMe ? 1 : 0;
  return reaction;
}

constexpr const char* kGuidA = "11111111-2222-3333-4444-555555555555";
constexpr const char* kGuidB = "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";

TEST(ReactionTargetGuid, PrefixesAndDamagedValues) {
  const std::pair<const char*, const char*> cases[] = {
      {"p:0/11111111-2222-3333-4444-555555555555", kGuidA},
      {"p:12/11111111-2222-3333-4444-555555555555", kGuidA},
      {"bp:11111111-2222-3333-4444-555555555555", kGuidA},
      {"p:0/11111111-2222-3333-4444-555555555555trailing", kGuidA},
      {"p:0", ""},
      {"11111111-2222-3333-4444-555555555555", ""},
      {"", ""},
  };
  for (const auto& [stored, target] : cases) EXPECT_EQ(ReactionTargetGuid(stored), target) << stored;
}

TEST(AttachReactions, ShownWithTheirTargetsRemovalsDroppedOrphansKept) {
  MessageItem deletedReaction = Reaction(2003, std::string("p:0/") + kGuidB, "");
  deletedReaction.deleted = 1;
  deletedReaction.address = "+15550001111";
  std::vector<MessageItem> messages = {
      Message(kGuidA, "Dinner at eight?"),
      Reaction(2000, std::string("p:0/") + kGuidA, "Ann Lee"),
      Reaction(2001, std::string("bp:") + kGuidA, "", true),
      Reaction(3001, std::string("p:0/") + kGuidB, "Ann Lee"),  // a like taken back
      Message(kGuidB, "Sure"),
      deletedReaction,
      Reaction(2004, "p:0/99999999-0000-0000-0000-000000000000", "Bo Chen"),  // target not in the backup
      Reaction(2005, "p:0/99999999-0000-0000-0000-000000000001", "Bo Chen"),  // the same, stored without text
  };
  messages.back().text.clear();
  AttachReactions(messages);
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0].text, "Dinner at eight?");
  EXPECT_EQ(messages[0].reactions, "Loved by Ann Lee. Liked by Me.");
  EXPECT_EQ(messages[1].text, "Sure");
  EXPECT_EQ(messages[1].reactions, "Laughed at by +15550001111 (deleted).");
  EXPECT_EQ(messages[2].text, "Reacted to a message");
  EXPECT_EQ(messages[2].reactions, "Emphasized by Bo Chen. The message it reacts to is not in the backup.");
  EXPECT_EQ(messages[3].text, "A reaction.");
  EXPECT_EQ(messages[3].reactions, "Questioned by Bo Chen. The message it reacts to is not in the backup.");
}

TEST(MarkRecentlyDeleted, MarksLiveRowsAndRestoresMissingOnesFromTheirParts) {
  std::vector<MessageItem> messages = {Message("", "kept"), Message("", "waits in Recently Deleted")};
  messages[0].rowId = 1;
  messages[1].rowId = 2;
  const std::vector<RecoverableMessageLink> links = {{0, 2}, {0, 9}};
  const std::vector<RecoverablePart> parts = {
      {0, 2, 0, "waits in Recently Deleted"},
      {0, 9, 1, "second part"},
      {0, 9, 0, "first part"},
      {1, 9, 0, "a copy found again in free space"},
  };
  MarkRecentlyDeleted(messages, links, parts);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].deleted, 0);
  EXPECT_EQ(messages[1].deleted, 1);
  EXPECT_EQ(messages[1].rowId, 2);  // still finds its attachment
  EXPECT_EQ(messages[2].deleted, 1);
  EXPECT_EQ(messages[2].text, "first part\nsecond part");
}

fixtures::SqlValue Archived(std::string_view text) { return fixtures::Blob{fixtures::TypedstreamArchive(text)}; }

TEST(ReadMessages, CurrentDatabaseWithoutChatTables) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  using namespace fixtures;
  const TemporaryFolder folder("current-sms");
  constexpr std::int64_t kSecond = 1'000'000'000;  // dates in nanoseconds since 2001
  constexpr std::int64_t kDate = 700'000'000 * kSecond;
  DatabaseSpec definition;
  definition.ddl = std::string(EmbeddedSchema("sms-ios16-published-columns.sql"));
  ASSERT_FALSE(definition.ddl.empty());
  ASSERT_EQ(definition.ddl.find("CREATE TABLE chat "), std::string::npos);
  definition.inserts.push_back({"handle", {"ROWID", "id", "service"}, {{SqlInt(1), SqlText("+15550001111"), SqlText("SMS")},
                                                                       {SqlInt(2), SqlText("ann@example.org"), SqlText("iMessage")}}});
  const std::vector<std::string> columns = {"ROWID", "guid", "text", "handle_id", "date", "is_from_me", "attributedBody",
                                            "associated_message_guid", "associated_message_type",
                                            "message_summary_info", "date_edited", "date_retracted"};
  const auto row = [&](std::int64_t rowId, std::string guid, SqlValue text, std::int64_t handle, bool fromMe, SqlValue body) {
    return std::vector<SqlValue>{SqlInt(rowId), SqlText(std::move(guid)), std::move(text), SqlInt(handle),
                                 SqlInt(kDate + rowId * kSecond), SqlInt(fromMe ? 1 : 0), std::move(body),
                                 SqlNull(), SqlInt(0), SqlNull(), SqlInt(0), SqlInt(0)};
  };
  std::vector<std::vector<SqlValue>> messages;
  messages.push_back(row(1, kGuidA, SqlText("plain text"), 1, false, Archived("plain text")));
  messages.push_back(row(2, "G2", SqlNull(), 1, true, Archived("only in attributedBody 👋")));
  messages.push_back(row(3, "G3", SqlNull(), 2, true, Archived("Meet at 7")));
  messages[2][9] = Blob{MessageSummaryInfo({"Meet at 6", "Meet at 7"}, false, 700000003.0)};
  messages[2][10] = SqlInt(kDate + 100 * kSecond);
  messages.push_back(row(4, "G4", SqlNull(), 2, false, SqlNull()));
  messages[3][9] = Blob{MessageSummaryInfo({}, true, 700000004.0)};
  messages[3][11] = SqlInt(kDate + 100 * kSecond);
  messages.push_back(row(5, "G5", SqlText("Loved “plain text”"), 1, true, SqlNull()));
  messages[4][7] = SqlText(std::string("p:0/") + kGuidA);
  messages[4][8] = SqlInt(2000);
  messages.push_back(row(8, "G8", SqlNull(), 1, false, SqlNull()));  // a reaction stored without any text
  messages.back()[7] = SqlText("p:0/G2");
  messages.back()[8] = SqlInt(2005);
  messages.push_back(row(6, "G6", SqlNull(), 2, false, Archived("deleted, still in Recently Deleted")));
  // A deleted row must show a whole GUID to be taken for a message.
  messages.push_back(row(7, "77777777-2222-3333-4444-555555555555", SqlNull(), 2, false, Archived("deleted for good")));
  definition.inserts.push_back({"message", columns, messages});
  definition.inserts.push_back({"chat_recoverable_message_join", {"chat_id", "message_id", "delete_date"},
                                {{SqlInt(1), SqlInt(6), SqlInt(kDate)}}});
  definition.inserts.push_back({"recoverable_message_part",
                                {"chat_id", "message_id", "part_index", "delete_date", "part_text"},
                                {{SqlInt(1), SqlInt(6), SqlInt(0), SqlInt(kDate), Archived("deleted, still in Recently Deleted")}}});
  definition.deletions.push_back({"message", {7}});
  const auto path = folder.Path() / "sms.db";
  ASSERT_FALSE(BuildDatabase(path, definition, nullptr));

  const MessagesReading reading = ReadMessages((folder.Path() / "no-address-book").string(), path.string());
  ASSERT_FALSE(reading.openResult);
  std::map<std::string, const MessageItem*> byText;
  std::size_t count = 0;
  for (const auto& [handle, list] : reading.byHandle)
    for (const MessageItem& message : list) {
      EXPECT_EQ(message.handleId, handle);
      byText[message.text] = &message;
      ++count;
    }
  ASSERT_EQ(reading.byHandle.count(1), 1u);
  ASSERT_EQ(reading.byHandle.count(2), 1u);
  EXPECT_EQ(reading.byHandle.at(1).size(), 2u);  // the reaction is no message of its own
  ASSERT_TRUE(byText.count("plain text"));
  EXPECT_EQ(byText["plain text"]->reactions, "Loved by Me.");
  ASSERT_TRUE(byText.count("only in attributedBody 👋"));
  EXPECT_EQ(byText["only in attributedBody 👋"]->address, "+15550001111");
  EXPECT_EQ(byText["only in attributedBody 👋"]->reactions, "Questioned by +15550001111.");
  ASSERT_TRUE(byText.count("Meet at 7"));
  EXPECT_EQ(byText["Meet at 7"]->edited, 1);
  ASSERT_TRUE(byText.count(std::string(kUnsentMessageText)));
  EXPECT_EQ(byText[std::string(kUnsentMessageText)]->unsent, 1);
  ASSERT_TRUE(byText.count("deleted, still in Recently Deleted"));
  const MessageItem& recoverable = *byText["deleted, still in Recently Deleted"];
  EXPECT_EQ(recoverable.deleted, 1);
  EXPECT_EQ(recoverable.rowId, 6);
  EXPECT_EQ(recoverable.address, "ann@example.org");
  // Row 7 was deleted from the table: it comes back from free space, body and all.
  ASSERT_TRUE(byText.count("deleted for good"));
  EXPECT_EQ(byText["deleted for good"]->deleted, 1);
  EXPECT_EQ(count, 6u);  // each message once: seven rows, less the two reactions, plus row 7 rebuilt
}

}  // namespace
}  // namespace scrivel::apps
