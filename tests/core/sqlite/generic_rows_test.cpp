#include "core/sqlite/generic_rows.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/common/result_codes.h"
#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::CreateDatabase;
using testing::Put32;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

struct ScanResult {
  std::error_code code = std::error_code{};
  std::vector<GenericRow> live;
  std::vector<GenericRow> deleted;
};

ScanResult ScanTableNamed(const std::filesystem::path& path, const std::string& name) {
  ScanResult result;
  SqliteReader reader;
  result.code = reader.Open(path.string());
  if (result.code) return result;
  std::vector<TableDescription> tables;
  result.code = ListTables(reader, &tables);
  for (const TableDescription& table : tables) {
    if (table.name != name) continue;
    result.code = ScanGenericRows(reader, table, [&](const GenericRow& row) {
      (row.origin.deleted ? result.deleted : result.live).push_back(row);
    });
  }
  return result;
}

// Rows of "t" are (id, body, n) with body = "row <id> " repeated to a
// length that depends on the id and n = id * 3, so a recovered row can be
// checked against its own id.
std::string Body(std::int64_t id, int repeats) {
  std::string body;
  for (int i = 0; i < repeats; ++i) body += "row " + std::to_string(id) + " ";
  return body;
}

std::string MakeRows(int count, int repeats) {
  return "CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT, n INTEGER);"
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" +
         std::to_string(count) + ") INSERT INTO t SELECT x, trim(replace(printf('%." + std::to_string(repeats) +
         "c', '*'), '*', 'row ' || x || ' ')) || ' ', x * 3 FROM c;";
}

// Every deleted row must be one of the rows that were deleted, exactly;
// returns the ids recovered.
std::set<std::int64_t> CheckDeleted(const ScanResult& result, int repeats, const std::set<std::int64_t>& deletedIds) {
  std::set<std::int64_t> recovered;
  for (const GenericRow& row : result.deleted) {
    EXPECT_EQ(row.values.size(), 3u);
    if (row.values.size() != 3) continue;
    const auto* n = std::get_if<std::int64_t>(&row.values[2]);
    const auto* body = std::get_if<std::string>(&row.values[1]);
    if (!n || !body || *n % 3 != 0) {
      ADD_FAILURE() << "garbage row on page " << row.origin.pageIndex + 1 << " from " << RowSourceName(row.origin.source);
      continue;
    }
    const std::int64_t id = *n / 3;
    EXPECT_EQ(*body, Body(id, repeats)) << RowSourceName(row.origin.source);
    EXPECT_TRUE(deletedIds.count(id)) << "row " << id << " was not deleted";
    recovered.insert(id);
  }
  return recovered;
}

struct RecoveryCase {
  const char* name;
  std::uint32_t pageSize;
  int rows;
  int repeats;
  const char* deleteWhere;     // SQL condition on id
  bool (*isDeleted)(int id);   // the same condition
};

// Ids of the deleted rows whose record bytes (type bytes and values) are
// still in the file: SQLite itself overwrites some of them (a page
// rebuilt on a later change keeps only its live cells), and those cannot
// come back.
std::set<std::int64_t> StillInFile(const std::vector<std::uint8_t>& file, const std::set<std::int64_t>& ids, int repeats) {
  std::set<std::int64_t> present;
  const std::string haystack(file.begin(), file.end());
  for (const std::int64_t id : ids)
    if (haystack.find(Body(id, repeats)) != std::string::npos) present.insert(id);
  return present;
}

TEST(GenericRowsTest, RecoversDeletedRowsStillInTheFileAndNothingElse) {
  const RecoveryCase cases[] = {
      {"every 7th row, 4 KiB pages", 4096, 400, 3, "id % 7 = 0", [](int id) { return id % 7 == 0; }},
      {"every 3rd row, 1 KiB pages", 1024, 400, 2, "id % 3 = 0", [](int id) { return id % 3 == 0; }},
      {"a run of rows: whole pages freed", 1024, 600, 4, "id BETWEEN 100 AND 400",
       [](int id) { return id >= 100 && id <= 400; }},
      {"the newest rows: cells at the content start join the gap", 4096, 300, 2, "id > 280",
       [](int id) { return id > 280; }},
      {"the oldest rows first", 4096, 300, 2, "id < 40", [](int id) { return id < 40; }},
      {"64 KiB pages", 65536, 3000, 3, "id % 5 = 0", [](int id) { return id % 5 == 0; }},
      {"512-byte pages", 512, 300, 1, "id % 2 = 0", [](int id) { return id % 2 == 0; }},
  };
  TempFolder folder;
  for (const RecoveryCase& c : cases) {
    const auto path = folder.Path("rows.db");
    CreateDatabase(path, c.pageSize, MakeRows(c.rows, c.repeats) + "DELETE FROM t WHERE " + c.deleteWhere + ";");
    std::set<std::int64_t> deletedIds;
    for (int id = 1; id <= c.rows; ++id)
      if (c.isDeleted(id)) deletedIds.insert(id);
    const ScanResult result = ScanTableNamed(path, "t");
    ASSERT_FALSE(result.code) << c.name;
    EXPECT_EQ(result.live.size(), static_cast<std::size_t>(c.rows) - deletedIds.size()) << c.name;
    for (const GenericRow& row : result.live) {
      const std::int64_t id = std::get<std::int64_t>(row.values[0]);
      EXPECT_EQ(std::get<std::string>(row.values[1]), Body(id, c.repeats)) << c.name;
    }
    const auto recovered = CheckDeleted(result, c.repeats, deletedIds);
    const auto present = StillInFile(ReadBytes(path), deletedIds, c.repeats);
    // Nearly every row whose bytes survive comes back (a record cut by a
    // later cell's bytes may not).
    EXPECT_GE(recovered.size() * 100, present.size() * 97) << c.name;
    std::printf("[ share    ] %s: %zu of %zu deleted rows recovered, %zu still in the file (%zu records)\n", c.name,
                recovered.size(), deletedIds.size(), present.size(), result.deleted.size());
  }
}

TEST(GenericRowsTest, RowsWithOverflowPages) {
  TempFolder folder;
  const auto path = folder.Path("long.db");
  CreateDatabase(path, 1024, MakeRows(60, 150) + "DELETE FROM t WHERE id % 4 = 0;");
  const ScanResult result = ScanTableNamed(path, "t");
  ASSERT_FALSE(result.code);
  ASSERT_EQ(result.live.size(), 45u);
  for (const GenericRow& row : result.live) {
    const std::int64_t id = std::get<std::int64_t>(row.values[0]);
    EXPECT_EQ(std::get<std::string>(row.values[1]), Body(id, 150));  // about 1,800 bytes over three pages
  }
  // A deleted row keeps only its first part on the page: it cannot be read whole.
  CheckDeleted(result, 150, {});
}

// Rows written before a column was added keep fewer values; deleted ones
// come back with the added column NULL.
TEST(GenericRowsTest, DeletedRowsOlderThanAnAddedColumn) {
  TempFolder folder;
  const auto path = folder.Path("grown.db");
  CreateDatabase(path, 4096,
                 MakeRows(120, 3) + "ALTER TABLE t ADD COLUMN extra TEXT;"
                 "WITH RECURSIVE c(x) AS (SELECT 121 UNION ALL SELECT x+1 FROM c WHERE x<160)"
                 " INSERT INTO t SELECT x, trim(replace(printf('%.3c', '*'), '*', 'row ' || x || ' ')) || ' ', x * 3,"
                 " 'late ' || x FROM c;"
                 "DELETE FROM t WHERE id IN (20, 45, 77, 130, 150);");
  const ScanResult result = ScanTableNamed(path, "t");
  ASSERT_FALSE(result.code);
  EXPECT_EQ(result.live.size(), 155u);
  std::set<std::int64_t> recovered;
  for (const GenericRow& row : result.deleted) {
    ASSERT_EQ(row.values.size(), 4u);
    const std::int64_t id = std::get<std::int64_t>(row.values[2]) / 3;
    EXPECT_EQ(std::get<std::string>(row.values[1]), Body(id, 3)) << id;
    if (id <= 120) {
      EXPECT_TRUE(std::holds_alternative<std::monostate>(row.values[3])) << id;
    } else {
      EXPECT_EQ(std::get<std::string>(row.values[3]), "late " + std::to_string(id));
    }
    recovered.insert(id);
  }
  // SQLite rebuilds the page of the newest rows on the deletes, so only the
  // rows whose bytes are still in the file can come back: the old ones.
  const std::set<std::int64_t> present = StillInFile(ReadBytes(path), {20, 45, 77, 130, 150}, 3);
  EXPECT_TRUE(present.count(20) && present.count(45) && present.count(77));
  EXPECT_EQ(recovered, present);
}

TEST(GenericRowsTest, DamagedFilesGiveCodesNotCrashes) {
  TempFolder folder;
  const auto path = folder.Path("damaged.db");
  CreateDatabase(path, 1024, MakeRows(200, 40) + "DELETE FROM t WHERE id % 2 = 0;");
  const std::vector<std::uint8_t> original = ReadBytes(path);

  // Truncated: the pages behind the cut cannot be read, the rest can.
  std::vector<std::uint8_t> bytes(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(original.size() / 2 + 300));
  WriteBytes(path, bytes);
  ScanResult result = ScanTableNamed(path, "t");
  EXPECT_TRUE(result.code == kShortRead || !result.code);
  EXPECT_LT(result.live.size(), 100u);

  // An overflow chain pointing back at itself: the row is dropped, the scan ends.
  CreateDatabase(path, 1024, MakeRows(3, 200));
  bytes = ReadBytes(path);
  const std::size_t overflowPage = bytes.size() / 1024;  // the last page is an overflow page
  Put32(bytes, (overflowPage - 1) * 1024, static_cast<std::uint32_t>(overflowPage));
  WriteBytes(path, bytes);
  result = ScanTableNamed(path, "t");
  EXPECT_FALSE(result.code);
  EXPECT_LE(result.live.size(), 3u);
}

TEST(GenericRowsTest, ListsTablesWithTheirColumnsAndRowIdColumn) {
  TempFolder folder;
  const auto path = folder.Path("tables.db");
  CreateDatabase(path, 4096,
                 "CREATE TABLE a(x, y); CREATE TABLE b(pk INTEGER PRIMARY KEY AUTOINCREMENT, v TEXT);"
                 "CREATE TABLE c(k TEXT PRIMARY KEY, v) WITHOUT ROWID; CREATE VIEW d AS SELECT 1;"
                 "INSERT INTO b(v) VALUES('one');");
  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path.string()));
  std::vector<TableDescription> tables;
  ASSERT_FALSE(ListTables(reader, &tables));
  std::map<std::string, TableDescription> byName;
  for (const auto& t : tables) byName[t.name] = t;
  EXPECT_EQ(byName.count("c"), 0u);
  EXPECT_EQ(byName.count("d"), 0u);
  ASSERT_EQ(byName.count("b"), 1u);
  EXPECT_EQ(byName["b"].rowIdColumn, 0);
  EXPECT_EQ(byName["a"].rowIdColumn, -1);
  EXPECT_EQ(byName["a"].columns, (std::vector<std::string>{"x", "y"}));
  const ScanResult result = ScanTableNamed(path, "b");
  ASSERT_EQ(result.live.size(), 1u);
  EXPECT_EQ(std::get<std::int64_t>(result.live[0].values[0]), 1);
}

}  // namespace
}  // namespace scrivel::sqlite
