// Rows written before columns were added to a table keep fewer values (a
// real iOS 17 call history holds 200 records of 27 values beside 2,256 of
// 30). They must decode like the others, from the right columns, deleted
// ones included, and no live row may come back as a deleted one. The phone
// stores some addresses as blobs in the VARCHAR column; those rows count
// as well.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <stdlib.h>
#include <time.h>

#include <set>
#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/apps/local_date.h"
#include "core/apps/table_decoders.h"
#include "fixtures/temporary_folder.h"

namespace scrivel::apps {
namespace {

constexpr int kOldRows = 40;
constexpr int kNewRows = 20;

std::string Address(int row) { return "+1555" + std::to_string(1000000 + row); }
std::int64_t AppleSeconds(int row) { return 700'000'000 + row * 3600; }

// Every third address is stored as a blob of its UTF-8 bytes.
std::string AddressSql(int row) {
  const std::string text = "'" + Address(row) + "'";
  return row % 3 == 0 ? "CAST(" + text + " AS BLOB)" : text;
}

// ZCALLRECORD as iOS 17 has it: 27 columns, three more added later.
void BuildCallHistory(const std::filesystem::path& path) {
  std::string sql =
      // This SQLite build zeroes deleted rows by default; syncing is not needed.
      "PRAGMA page_size = 1024; PRAGMA secure_delete = OFF; PRAGMA synchronous = OFF;"
      "CREATE TABLE ZCALLRECORD ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZANSWERED INTEGER,"
      " ZCALL_CATEGORY INTEGER, ZCALLTYPE INTEGER, ZDISCONNECTED_CAUSE INTEGER, ZFACE_TIME_DATA INTEGER,"
      " ZFILTERED_OUT_REASON INTEGER, ZHANDLE_TYPE INTEGER, ZJUNKCONFIDENCE INTEGER, ZNUMBER_AVAILABILITY INTEGER,"
      " ZORIGINATED INTEGER, ZREAD INTEGER, ZVERIFICATIONSTATUS INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT,"
      " ZADDRESS VARCHAR, ZISO_COUNTRY_CODE VARCHAR, ZLOCATION VARCHAR, ZNAME VARCHAR, ZSERVICE_PROVIDER VARCHAR,"
      " ZUNIQUE_ID VARCHAR, ZLOCALPARTICIPANTUUID BLOB, ZOUTGOINGLOCALPARTICIPANTUUID BLOB,"
      " ZPARTICIPANTGROUPUUID BLOB, ZIMAGEURL VARCHAR );";
  const auto insert = [&](int row) {
    sql += "INSERT INTO ZCALLRECORD (Z_PK, Z_ENT, Z_OPT, ZANSWERED, ZORIGINATED, ZDATE, ZDURATION, ZADDRESS,"
           " ZISO_COUNTRY_CODE, ZUNIQUE_ID) VALUES (" +
           std::to_string(row) + ", 2, 1, 1, " + std::to_string(row % 2) + ", " +
           std::to_string(AppleSeconds(row)) + ".25, " + std::to_string(row) + ".5, " + AddressSql(row) +
           ", 'us', 'guid-" + std::to_string(row) + "');";
  };
  for (int row = 1; row <= kOldRows; ++row) insert(row);
  sql += "ALTER TABLE ZCALLRECORD ADD COLUMN ZHASMESSAGE INTEGER;"
         "ALTER TABLE ZCALLRECORD ADD COLUMN ZJUNKIDENTIFICATIONCATEGORY VARCHAR;"
         "ALTER TABLE ZCALLRECORD ADD COLUMN ZCONVERSATIONID BLOB;";
  for (int row = kOldRows + 1; row <= kOldRows + kNewRows; ++row) insert(row);
  // Old rows 1-16 empty the first pages (SQLite rebalances the tree and
  // writes over most of them); single old rows leave free blocks between
  // live cells; one new row goes too.
  sql += "DELETE FROM ZCALLRECORD WHERE Z_PK <= 16 OR Z_PK IN (21, 27, 33, 50);";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.string().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST(ShortRecordsTest, OldCallRecordsDecodeFromTheRightColumns) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const fixtures::TemporaryFolder folder("short-records");
  const auto path = folder.Path() / "CallHistory.storedata";
  ASSERT_NO_FATAL_FAILURE(BuildCallHistory(path));
  sqlite::DatabaseRecovery recovery;
  ASSERT_FALSE(recovery.Open(path.string()));
  std::vector<CallItem> calls;
  ASSERT_FALSE(DecodeCalls(recovery, "ZCALLRECORD", CallRecordLayout::kStoreData, &calls));

  std::set<int> live, deleted;
  for (const CallItem& call : calls) {
    const int row = std::stoi(call.address.substr(5)) - 1000000;
    ASSERT_GE(row, 1) << call.address;
    ASSERT_LE(row, kOldRows + kNewRows) << call.address;
    EXPECT_EQ(call.date, FormatLocalDate(AppleSeconds(row) + kAppleEpochInUnixSeconds)) << row;
    EXPECT_EQ(call.duration, row);  // stored as a float, as the phone does
    EXPECT_EQ(call.incoming, row % 2 == 0 ? 1 : 0) << row;
    (call.deleted ? deleted : live).insert(row);
  }
  const std::set<int> deletedRows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 21, 27, 33, 50};
  std::set<int> expectedLive;
  for (int row = 1; row <= kOldRows + kNewRows; ++row)
    if (!deletedRows.count(row)) expectedLive.insert(row);
  EXPECT_EQ(live, expectedLive);
  // Whatever comes back as deleted is a row that was deleted, never bytes
  // of the many NULL columns read at a wrong offset (the values were
  // checked above); the short ones in free blocks come back, a blob
  // address among them, and so does the full-length one.
  for (const int row : deleted) EXPECT_TRUE(deletedRows.count(row)) << row;
  for (const int row : {21, 27, 33, 50}) EXPECT_TRUE(deleted.count(row)) << "deleted row not recovered: " << row;
}

}  // namespace
}  // namespace scrivel::apps
