// The resolution step on the real table layouts of each iOS generation:
// the columns a decoder keeps are found by name in the CREATE TABLE
// statement the database itself carries.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite/column_resolution.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"
#include "fixtures/embedded_schemas.h"
#include "fixtures/schema_script.h"
#include "fixtures/temporary_folder.h"

namespace scrivel::apps {
namespace {

// Creates a database holding the tables of one recorded layout file.
void CreateFromLayout(const std::filesystem::path& path, const char* schemaFile) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.string().c_str(), &db), SQLITE_OK);
  // Only the schema matters: no journal and no syncing (each CREATE would wait for the disk).
  EXPECT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr), SQLITE_OK);
  std::string error;
  EXPECT_EQ(fixtures::RunSchemaScript(db, fixtures::EmbeddedSchema(schemaFile), &error), SQLITE_OK) << error;
  sqlite3_close(db);
}

void CreateFromSql(const std::filesystem::path& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.string().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

const std::vector<sqlite::KeptColumn> kMessage = {{"text", 2}, {"handle_id", 5}, {"date", 15}, {"is_from_me", 21}};
const std::vector<sqlite::KeptColumn> kAttachment = {{"filename", 4}};
const std::vector<sqlite::KeptColumn> kContact = {{"First", 1},   {"Last", 2},     {"Organization", 7},   {"Phone", 16},
                                          {"Email", 17},  {"Address", 18}, {"SocialProfile", 19}, {"URL", 20}};
const std::vector<sqlite::KeptColumn> kCall = {{"address", 1}, {"date", 2}, {"duration", 3}, {"flags", 4}};
const std::vector<sqlite::KeptColumn> kCallRecord = {{"ZORIGINATED", 8}, {"ZDATE", 10}, {"ZDURATION", 11}, {"ZADDRESS", 12}};
const std::vector<sqlite::KeptColumn> kNote = {{"ZBODY", 11}, {"ZCREATIONDATE", 13}, {"ZTITLE", 14}};
const std::vector<sqlite::KeptColumn> kWhatsAppMessage = {{"ZISFROMME", 12},  {"ZCHATSESSION", 19},  {"ZGROUPMEMBER", 20},
                                                  {"ZMEDIAITEM", 22}, {"ZMESSAGEDATE", 25}, {"ZTEXT", 32}};
const std::vector<sqlite::KeptColumn> kMediaItem = {{"ZMEDIALOCALPATH", 18}};
// NoteStore.sqlite: the creation date moved from ZCREATIONDATE1 to
// ZCREATIONDATE3 with iOS 15, and every version inserts columns before the
// others.
const std::vector<sqlite::KeptColumn> kCloudObject = {{"Z_ENT", 1},           {"ZFOLDER", 51},       {"ZCREATIONDATE1", 90},
                                              {"ZCREATIONDATE3", 93}, {"ZIDENTIFIER", 106}, {"ZTITLE1", 137}};
const std::vector<sqlite::KeptColumn> kNoteData = {{"ZNOTE", 3}, {"ZDATA", 6}};

struct ResolutionCase {
  const char* schemaFile;
  const char* table;
  const std::vector<sqlite::KeptColumn>* kept;
  sqlite::NameForm form;
  std::vector<int> positions;
  int declaredColumns;
};

TEST(ColumnResolutionTest, FindsKeptColumnsByNameInEachGeneration) {
  const sqlite::NameForm exact = sqlite::NameForm::kExact;
  const sqlite::NameForm prefixed = sqlite::NameForm::kAfterIndexPrefix;
  const ResolutionCase cases[] = {
      {"reference-sms-38.sql", "message", &kMessage, exact, {2, 5, 15, 21}, 38},
      {"sms-ios7.1.2.sql", "message", &kMessage, exact, {2, 5, 15, 21}, 38},
      {"sms-ios12.4.sql", "message", &kMessage, exact, {2, 5, 15, 21}, 68},
      {"sms-ios7.1.2.sql", "attachment", &kAttachment, exact, {4}, 12},
      {"sms-ios12.4.sql", "attachment", &kAttachment, exact, {4}, 23},
      {"addressbook-ios7.1.2.sql", "ABPersonFullTextSearch_content", &kContact, prefixed,
       {1, 2, 7, 16, 17, 18, 19, 20}, 24},
      {"addressbook-ios15.3.1.sql", "ABPersonFullTextSearch_content", &kContact, prefixed,
       {1, 2, 7, 17, 18, 19, 20, 21}, 26},
      {"callhistory-calldb-ios7.1.2.sql", "call", &kCall, exact, {1, 2, 3, 4}, 14},
      {"reference-callhistory-storedata.sql", "ZCALLRECORD", &kCallRecord, exact, {8, 10, 11, 12}, 17},
      {"callhistory-storedata-ios17-18.sql", "ZCALLRECORD", &kCallRecord, exact, {12, 15, 16, 17}, 30},
      {"reference-notes.sql", "ZNOTE", &kNote, exact, {11, 13, 14}, 19},
      {"notes-legacy-ios7.1.2.sql", "ZNOTE", &kNote, exact, {11, 13, 19}, 20},
      {"whatsapp-chatstorage-ios15.3.1.sql", "ZWAMESSAGE", &kWhatsAppMessage, exact, {12, 19, 20, 22, 25, 32}, 34},
      {"whatsapp-chatstorage-ios5-wa2.8.4.sql", "ZWAMESSAGE", &kWhatsAppMessage, exact, {4, 8, 9, 11, 12, 16}, 18},
      {"whatsapp-chatstorage-ios15.3.1.sql", "ZWAMEDIAITEM", &kMediaItem, exact, {15}, 24},
      {"notestore-ios13-or-macos10.15.sql", "ZICCLOUDSYNCINGOBJECT", &kCloudObject, exact, {1, 43, 82, -1, 91, 117}, 149},
      {"notestore-ios15.3.1.sql", "ZICCLOUDSYNCINGOBJECT", &kCloudObject, exact, {1, 51, 90, 93, 106, 137}, 182},
      {"notestore-ios17.3.sql", "ZICCLOUDSYNCINGOBJECT", &kCloudObject, exact, {1, 59, 99, 102, 115, 146}, 201},
      {"notestore-ios17.3.sql", "ZICNOTEDATA", &kNoteData, exact, {3, 6}, 7},
  };
  for (const ResolutionCase& c : cases) {
    SCOPED_TRACE(std::string(c.schemaFile) + " " + c.table);
    const fixtures::TemporaryFolder folder("resolution");
    const auto path = folder.Path() / "schema.db";
    CreateFromLayout(path, c.schemaFile);
    sqlite::DatabaseRecovery recovery;
    ASSERT_FALSE(recovery.Open(path.string()));
    const std::optional<std::size_t> table = recovery.FindTable(c.table);
    ASSERT_TRUE(table);
    const sqlite::ResolvedColumns resolved = sqlite::ResolveColumns(*c.kept, recovery.Tables()[*table].shape.columns, c.form);
    EXPECT_EQ(resolved.positions, c.positions);
    EXPECT_EQ(resolved.declaredColumns, c.declaredColumns);
  }
}

TEST(ColumnResolutionTest, KeepsBuiltInPositionsWhenTheSchemaDoesNotNameTheColumns) {
  const std::vector<std::string> unnamed = {"pk", "c1", "c2", "c3", "c4", "c5"};
  for (const std::vector<std::string>& columns : {std::vector<std::string>{}, unnamed}) {
    const sqlite::ResolvedColumns resolved = sqlite::ResolveColumns(kCall, columns, sqlite::NameForm::kExact);
    EXPECT_EQ(resolved.positions, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(resolved.declaredColumns, 0);
  }
  // "c16Phone" matches "Phone" only with the prefix form; "Phone" alone is not a prefixed name.
  const std::vector<std::string> prefixed = {"docid", "c0First", "c16Phone", "Phone"};
  EXPECT_EQ(sqlite::ResolveColumns(kContact, prefixed, sqlite::NameForm::kAfterIndexPrefix).positions,
            (std::vector<int>{1, -1, -1, 2, -1, -1, -1, -1}));
  EXPECT_EQ(sqlite::ResolveColumns(kContact, prefixed, sqlite::NameForm::kExact).positions,
            (std::vector<int>{-1, -1, -1, 3, -1, -1, -1, -1}));
}

TEST(ColumnResolutionTest, NoSchemaRowLeavesTheBuiltInLayout) {
  const fixtures::TemporaryFolder folder("resolution");
  const auto path = folder.Path() / "other.db";
  CreateFromSql(path, "CREATE TABLE other(a TEXT);");
  sqlite::DatabaseRecovery recovery;
  ASSERT_FALSE(recovery.Open(path.string()));
  EXPECT_FALSE(recovery.FindTable("call"));
  const std::optional<std::size_t> other = recovery.FindTable("OTHER");
  ASSERT_TRUE(other);
  EXPECT_EQ(recovery.Tables()[*other].shape.columns, (std::vector<std::string>{"a"}));
  std::vector<CallItem> calls;
  EXPECT_FALSE(DecodeCalls(recovery, "call", CallRecordLayout::kCallHistoryDb, &calls));
  EXPECT_TRUE(calls.empty());
}

// Call flags: bit 0 set means outgoing. Real files hold 4 (incoming) and 5
// (outgoing) besides the constants 0 and 1.
TEST(ColumnResolutionTest, CallFlagsBitZeroTellsTheDirection) {
  const fixtures::TemporaryFolder folder("resolution");
  const auto path = folder.Path() / "calls.db";
  CreateFromSql(path,
                "CREATE TABLE call(ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date INTEGER,"
                " duration INTEGER, flags INTEGER, id INTEGER);"
                "INSERT INTO call(address, date, duration, flags) VALUES"
                " ('+15550001', 1300000000, 10, 0), ('+15550002', 1300000001, 11, 1),"
                " ('+15550003', 1300000002, 12, 4), ('+15550004', 1300000003, 13, 5);");
  sqlite::DatabaseRecovery recovery;
  ASSERT_FALSE(recovery.Open(path.string()));
  std::vector<CallItem> calls;
  ASSERT_FALSE(DecodeCalls(recovery, "call", CallRecordLayout::kCallHistoryDb, &calls));
  ASSERT_EQ(calls.size(), 4u);
  const int incoming[] = {1, 0, 1, 0};
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].incoming, incoming[i]) << calls[i].address;
    EXPECT_EQ(calls[i].duration, static_cast<int>(10 + i));
  }
}

}  // namespace
}  // namespace scrivel::apps
