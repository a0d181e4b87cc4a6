// The messages of a current-generation sample as `scan --json --records`
// lists them, against the rows the builder wrote: bodies kept only in
// attributedBody, reactions shown with their messages and never as
// messages, edited and unsent messages, and "Recently Deleted".
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <variant>

#include "cli_runner.h"
#include "core/apps/message_reactions.h"
#include "core/apps/message_text.h"
#include "core/apps/typedstream_text.h"
#include "fixtures/json_reader.h"
#include "fixtures/sample_backup.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

namespace fx = scrivel::fixtures;

std::string ArchivedText(const fx::GroundTruthRecord& row) {
  const auto* body = std::get_if<fx::Blob>(row.Find("attributedBody"));
  return body ? apps::TypedstreamText(body->bytes) : "";
}

bool Flag(const fx::JsonValue& message, const char* name) {
  const fx::JsonValue* value = message.Member(name);
  return value && value->boolean;
}

std::string Text(const fx::JsonValue& message, const char* name) {
  const fx::JsonValue* value = message.Member(name);
  return value ? value->text : "";
}

class CliScanMessagesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CliScanMessagesTest, CurrentFormsComeOutAsThePhoneShowsThem) {
  const fx::TemporaryFolder root("scan-messages");
  fx::SampleBackupOptions options;
  options.generation = GetParam();
  fx::GroundTruth truth;
  ASSERT_FALSE(fx::BuildSampleBackup(root.Path() / "backup", options, &truth));
  const testing::CommandResult run =
      testing::RunCli("scan '" + (root.Path() / "backup").string() + "' --json --records --no-progress",
                      root.Path() / "appdata");
  ASSERT_EQ(run.exitCode, 0);
  fx::JsonValue scan;
  ASSERT_TRUE(fx::ParseJson(run.output, &scan));
  const fx::JsonValue* categories = scan.Member("categories");
  const fx::JsonValue* messages = categories ? categories->Member("Messages") : nullptr;
  const fx::JsonValue* records = messages ? messages->Member("records") : nullptr;
  ASSERT_NE(records, nullptr);

  // Listed messages that keep their row id: live ones, and those waiting in
  // "Recently Deleted".
  std::map<std::int64_t, const fx::JsonValue*> live, deletedWithRow;
  for (const fx::JsonValue& conversation : records->items)
    for (const fx::JsonValue& message : conversation.Member("messages")->items) {
      const std::int64_t rowId = message.Member("rowId")->integer;
      (Flag(message, "deleted") ? deletedWithRow : live)[rowId] = &message;
    }

  std::set<std::int64_t> recentlyDeleted;
  for (const fx::GroundTruthRecord* link : truth.RecordsOf("messages", "chat_recoverable_message_join"))
    recentlyDeleted.insert(link->Integer("message_id"));
  std::map<std::string, std::int64_t> rowIdByGuid;
  for (const fx::GroundTruthRecord* row : truth.RecordsOf("messages", "message")) rowIdByGuid[row->Text("guid")] = row->rowId;

  std::size_t archivedOnly = 0, reactions = 0, edited = 0, unsent = 0;
  for (const fx::GroundTruthRecord* row : truth.RecordsOf("messages", "message")) {
    if (row->deleted) continue;
    SCOPED_TRACE("message " + std::to_string(row->rowId));
    const std::int64_t type = row->Integer("associated_message_type");
    if (type >= 2000 && type <= 3007) {
      ++reactions;
      EXPECT_EQ(live.count(row->rowId), 0u) << "a reaction is listed as a message";
      if (type <= 2007) {
        const auto target = live.find(rowIdByGuid[apps::ReactionTargetGuid(row->Text("associated_message_guid"))]);
        ASSERT_NE(target, live.end());
        EXPECT_NE(Text(*target->second, "reactions").find(" by "), std::string::npos);
      }
      continue;
    }
    if (recentlyDeleted.count(row->rowId)) {
      EXPECT_EQ(live.count(row->rowId), 0u);
      ASSERT_EQ(deletedWithRow.count(row->rowId), 1u);
      EXPECT_EQ(Text(*deletedWithRow[row->rowId], "text"), ArchivedText(*row));
      continue;
    }
    ASSERT_EQ(live.count(row->rowId), 1u);
    const fx::JsonValue& message = *live[row->rowId];
    if (row->Integer("date_retracted") != 0) {
      ++unsent;
      EXPECT_TRUE(Flag(message, "unsent"));
      EXPECT_EQ(Text(message, "text"), apps::kUnsentMessageText);
    } else if (row->Text("text").empty()) {
      ++archivedOnly;
      EXPECT_EQ(Text(message, "text"), ArchivedText(*row));
    } else {
      EXPECT_EQ(Text(message, "text"), row->Text("text"));
    }
    if (row->Integer("date_edited") != 0) {
      ++edited;
      EXPECT_TRUE(Flag(message, "edited"));
    }
  }
  EXPECT_GT(archivedOnly, 0u);
  EXPECT_GT(reactions, 0u);
  if (std::string_view(GetParam()) == "ios17") {
    EXPECT_EQ(edited, 1u);
    EXPECT_EQ(unsent, 1u);
    EXPECT_EQ(recentlyDeleted.size(), 2u);
  }
}

INSTANTIATE_TEST_SUITE_P(CurrentGenerations, CliScanMessagesTest, ::testing::Values("ios15", "ios17"));

}  // namespace
}  // namespace scrivel
