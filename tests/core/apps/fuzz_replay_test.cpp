// Replays the fuzz seeds (tests/fuzz/corpus/) and a fixed set of damaged
// copies of small databases (one with its -wal and -journal) through the
// same drivers as the fuzz target: whatever the bytes, the page reader and
// the recovery engine must end without a crash or a hang.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fixtures/note_store_database.h"
#include "fuzz_driver.h"
#include "support/test_database.h"

namespace scrivel::apps {
namespace {

using sqlite::testing::CreateDatabase;
using sqlite::testing::ReadBytes;
using testing::RunEngineOnBytes;
using testing::RunReaderOnBytes;
using sqlite::testing::TempFolder;

TEST(FuzzReplayTest, CommittedSeedsRun) {
  const std::filesystem::path corpus = std::filesystem::path(SCRIVEL_SOURCE_DIR) / "tests/fuzz/corpus";
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::vector<std::uint8_t> bytes = ReadBytes(entry.path());
    EXPECT_GT(RunReaderOnBytes(bytes.data(), bytes.size()), 0u) << entry.path();
    EXPECT_GT(RunEngineOnBytes(bytes.data(), bytes.size()), 0u) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 3u);
}

// Runs 120 damaged copies of `original` through both drivers: bytes changed
// at random, bytes set to 0xFF, or the file cut anywhere.
void RunDamagedCopies(const std::vector<std::uint8_t>& original, std::uint32_t seed) {
  std::mt19937 random(seed);
  for (int round = 0; round < 120; ++round) {
    std::vector<std::uint8_t> bytes = original;
    const int damage = round % 4;
    if (damage == 3) {
      bytes.resize(random() % bytes.size());  // cut anywhere
    } else {
      const int flips = 1 + damage * 8;
      for (int i = 0; i < flips; ++i) {
        const std::size_t at = random() % bytes.size();
        bytes[at] = damage == 2 ? static_cast<std::uint8_t>(0xFF) : static_cast<std::uint8_t>(random());
      }
    }
    (void)RunReaderOnBytes(bytes.data(), bytes.size());
    (void)RunEngineOnBytes(bytes.data(), bytes.size());
  }
}

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const std::uint8_t byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

TEST(FuzzReplayTest, DamagedDatabasesEndCleanly) {
  TempFolder folder;
  const auto path = folder.Path("seed.db");
  CreateDatabase(path, 512,
                 "CREATE TABLE message(ROWID INTEGER PRIMARY KEY, guid TEXT, text TEXT, a, b, handle_id INTEGER);"
                 "CREATE INDEX m ON message(text);"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<60)"
                 "  INSERT INTO message(guid, text, handle_id) SELECT printf('%036d', x), printf('%.*c', x * 7, 'm'), x FROM c;"
                 "DELETE FROM message WHERE ROWID % 3 = 0;");
  RunDamagedCopies(ReadBytes(path), 20261210);
}

void Execute(sqlite3* db, const char* sql) {
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << " in " << sql;
  sqlite3_free(error);
}

void Append(std::vector<std::uint8_t>* bytes, std::string_view text) { bytes->insert(bytes->end(), text.begin(), text.end()); }

void Append(std::vector<std::uint8_t>* bytes, const std::vector<std::uint8_t>& more) {
  bytes->insert(bytes->end(), more.begin(), more.end());
}

// A database whose last changes are in its -wal (copied while the
// connection is open, before a checkpoint), and a journal of a transaction
// that deleted rows (copied before its commit), joined into one input as
// the engine's driver splits it.
TEST(FuzzReplayTest, DamagedWriteAheadLogsAndJournalsEndCleanly) {
  TempFolder folder;
  const std::string walPath = folder.Path("wal.db").string();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(walPath.c_str(), &db), SQLITE_OK);
  Execute(db, "PRAGMA page_size = 512; CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER);"
              "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<50)"
              "  INSERT INTO t(name, n) SELECT printf('name %d %.*c', x, x, 'w'), x * 1000 FROM c;"
              "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
              "DELETE FROM t WHERE id % 3 = 0; UPDATE t SET name = 'edited' WHERE id % 5 = 0;");
  std::vector<std::uint8_t> input = ReadBytes(walPath);
  Append(&input, testing::kWalMarker);
  Append(&input, ReadBytes(walPath + "-wal"));
  sqlite3_close(db);

  const std::string journalPath = folder.Path("journal.db").string();
  CreateDatabase(journalPath, 512,
                 "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT);"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<50)"
                 "  INSERT INTO t(name) SELECT printf('journal %d %.*c', x, x, 'j') FROM c;");
  ASSERT_EQ(sqlite3_open(journalPath.c_str(), &db), SQLITE_OK);
  Execute(db, "BEGIN; DELETE FROM t WHERE id % 2 = 0;");
  const std::vector<std::uint8_t> journal = ReadBytes(journalPath + "-journal");
  Execute(db, "COMMIT;");
  sqlite3_close(db);
  Append(&input, testing::kJournalMarker);
  Append(&input, journal);

  EXPECT_GT(RunEngineOnBytes(input.data(), input.size()), 0u);
  RunDamagedCopies(input, 20261212);
}

// A notes store whose note bodies are compressed protocol buffers: damage
// reaches the decompression and the body parser too.
TEST(FuzzReplayTest, DamagedNoteStoresEndCleanly) {
  TempFolder folder;
  const auto path = folder.Path("notes.db");
  std::string sql =
      "CREATE TABLE Z_PRIMARYKEY(Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX INTEGER);"
      "INSERT INTO Z_PRIMARYKEY VALUES(11, 'ICNote', 0, 40), (14, 'ICFolder', 0, 1), (18, 'ICNoteData', 0, 40);"
      "CREATE TABLE ZICCLOUDSYNCINGOBJECT(Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZFOLDER INTEGER, ZNOTEDATA INTEGER,"
      "  ZCREATIONDATE3 TIMESTAMP, ZMODIFICATIONDATE1 TIMESTAMP, ZIDENTIFIER VARCHAR, ZTITLE1 VARCHAR, ZTITLE2 VARCHAR);"
      "CREATE TABLE ZICNOTEDATA(Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZNOTE INTEGER,"
      "  ZCRYPTOINITIALIZATIONVECTOR BLOB, ZCRYPTOTAG BLOB, ZDATA BLOB);"
      "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES(1, 14, NULL, NULL, NULL, NULL, 'TrashFolder-CloudKit', NULL, 'Trash');";
  for (int note = 2; note <= 40; ++note) {
    const std::string title = "Note " + std::to_string(note);
    const std::string body = title + "\n" + std::string(static_cast<std::size_t>(note) * 5, 'n') + " \xF0\x9F\x98\x80";
    sql += "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES(" + std::to_string(note) + ", 11, " + (note % 5 == 0 ? "1" : "NULL") +
           ", " + std::to_string(note) + ", 600000000.5, 600000100, 'n" + std::to_string(note) + "', '" + title + "', NULL);";
    sql += "INSERT INTO ZICNOTEDATA VALUES(" + std::to_string(note) + ", 18, 1, " + std::to_string(note) +
           ", NULL, NULL, X'" + HexOf(fixtures::NoteStoreBody(body)) + "');";
  }
  sql += "DELETE FROM ZICNOTEDATA WHERE Z_PK % 4 = 0; DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK % 4 = 0;";
  CreateDatabase(path, 1024, sql);
  const std::vector<std::uint8_t> original = ReadBytes(path);
  EXPECT_GT(RunReaderOnBytes(original.data(), original.size()), 0u);
  RunDamagedCopies(original, 20261211);
}

}  // namespace
}  // namespace scrivel::apps
