// Recovery measured against a sample backup whose content is known: every
// row the decoders produce as deleted must be a row of the sample - one
// that was deleted, or an older version of a live row that SQLite left in
// free space when the row was changed - never bytes read as a row by
// mistake; the share of deleted rows that come back is reported.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "core/common/result_codes.h"
#include "core/apps/table_decoders.h"
#include "fixtures/sample_backup.h"
#include "support/test_database.h"

namespace scrivel::apps {
namespace {

namespace fx = scrivel::fixtures;

struct DecodedKey {
  bool deleted;
  std::string key;
};

struct TableCheck {
  const char* name;
  fx::StoredDatabase database;
  const char* category;
  const char* truthTable;
  const char* truthColumn;  // the text that identifies a row
  std::function<std::vector<DecodedKey>(sqlite::DatabaseRecovery&)> decode;
};

template <typename Record>
std::vector<DecodedKey> Keys(const std::vector<Record>& records, std::string Record::*field) {
  std::vector<DecodedKey> keys;
  for (const Record& record : records) keys.push_back({record.deleted != 0, record.*field});
  return keys;
}

TEST(GroundTruthRecoveryTest, DeletedRowsAreRealAndMostlyRecovered) {
  sqlite::testing::SetTimeZone("UTC");
  sqlite::testing::TempFolder folder;
  const auto backup = folder.Path("backup");
  fx::SampleBackupOptions options;
  fx::GroundTruth truth;
  ASSERT_FALSE(fx::BuildSampleBackup(backup, options, &truth));

  const TableCheck checks[] = {
      {"messages", fx::kSmsDatabase, "messages", "message", "text",
       [](sqlite::DatabaseRecovery& r) { std::vector<MessageItem> v; (void)DecodeMessages(r, &v); return Keys(v, &MessageItem::text); }},
      {"handles", fx::kSmsDatabase, "messages", "handle", "id",
       [](sqlite::DatabaseRecovery& r) { std::vector<HandleRecord> v; (void)DecodeHandles(r, &v); return Keys(v, &HandleRecord::id); }},
      {"calls", fx::kCallHistoryStoreDatabase, "calls", "ZCALLRECORD", "ZADDRESS",
       [](sqlite::DatabaseRecovery& r) {
         std::vector<CallItem> v;
         (void)DecodeCalls(r, "ZCALLRECORD", CallRecordLayout::kStoreData, &v);
         return Keys(v, &CallItem::address);
       }},
      {"note titles", fx::kNotesDatabase, "notes", "ZNOTE", "ZTITLE",
       [](sqlite::DatabaseRecovery& r) { std::vector<NoteItem> v; (void)DecodeNotes(r, &v); return Keys(v, &NoteItem::title); }},
      {"note bodies", fx::kNotesDatabase, "notes", "ZNOTEBODY", "ZCONTENT",
       [](sqlite::DatabaseRecovery& r) { std::vector<NoteItem> v; (void)DecodeNoteBodies(r, &v); return Keys(v, &NoteItem::content); }},
      {"whatsapp messages", fx::kWhatsAppChatDatabase, "whatsapp", "ZWAMESSAGE", "ZTEXT",
       [](sqlite::DatabaseRecovery& r) {
         std::vector<ChatMessageItem> v;
         (void)DecodeWhatsAppMessages(r, 34, &v);
         return Keys(v, &ChatMessageItem::text);
       }},
  };
  for (const TableCheck& check : checks) {
    std::set<std::string> deletedKeys, liveKeys;
    for (const fx::GroundTruthRecord* record : truth.RecordsOf(check.category, check.truthTable))
      (record->deleted ? deletedKeys : liveKeys).insert(record->Text(check.truthColumn));
    sqlite::DatabaseRecovery reader;
    const auto path = fx::StoredFilePathIn(backup, options.layout, check.database.fileId);
    ASSERT_FALSE(reader.Open(path.string())) << check.name;
    std::set<std::string> recovered;
    std::size_t live = 0, unkeyed = 0, oldVersions = 0;
    for (const DecodedKey& decoded : check.decode(reader)) {
      if (!decoded.deleted) {
        ++live;
        EXPECT_TRUE(liveKeys.count(decoded.key)) << check.name << ": live row not in the sample: " << decoded.key;
      } else if (decoded.key.empty()) {
        ++unkeyed;
      } else if (deletedKeys.count(decoded.key)) {
        recovered.insert(decoded.key);
      } else {
        EXPECT_TRUE(liveKeys.count(decoded.key)) << check.name << ": deleted record that is no row of the sample: " << decoded.key;
        ++oldVersions;
      }
    }
    std::size_t realDeleted = 0;
    for (const std::string& key : recovered) realDeleted += deletedKeys.count(key);
    std::printf("[ share    ] %s: %zu live, %zu of %zu deleted rows recovered (%zu older versions of live rows, "
                "%zu deleted records without the key)\n",
                check.name, live, realDeleted, deletedKeys.size(), oldVersions, unkeyed);
  }
}

}  // namespace
}  // namespace scrivel::apps
