// The engine front on databases written by the real SQLite library: live
// rows of every kind of table, deleted rows on freelist pages, dropped
// tables, and each deleted row reported once from its best place.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/sqlite/database_recovery.h"
#include "core/sqlite/deleted_rows.h"
#include "core/sqlite/record.h"
#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::CreateDatabase;
using testing::TempFolder;

struct SeenRow {
  std::string table;
  bool deleted = false;
  RowSource source = RowSource::kCell;
  bool partial = false;
  std::vector<std::string> values;  // integers and texts as text, NULL as "NULL"
};

class Collector : public RowSink {
 public:
  void OnRow(const RecoveredTable& table, const RecoveredRow& row) override {
    SeenRow seen{table.name, row.deleted, row.source, row.partial, {}};
    const auto layout = LiveRecordLayout(row.record);
    ASSERT_TRUE(layout.has_value());
    (void)ForEachColumn(row.record, *layout, [&](int column, const ColumnValue& value) {
      if (column == table.shape.rowIdColumn && value.IsNull() && row.rowId) {
        seen.values.push_back(std::to_string(*row.rowId));
      } else if (value.IsInteger()) {
        seen.values.push_back(std::to_string(value.Integer()));
      } else if (value.IsText()) {
        seen.values.emplace_back(value.Text());
      } else if (value.IsFloat()) {
        seen.values.push_back(std::to_string(value.Float()));
      } else {
        seen.values.push_back(value.IsNull() ? "NULL" : "blob");
      }
    });
    rows.push_back(std::move(seen));
  }
  std::vector<SeenRow> rows;
};

std::vector<SeenRow> RecoverAll(const std::filesystem::path& path, std::vector<RecoveredTable>* tables = nullptr,
                                const RecoveryOptions& options = {}) {
  DatabaseRecovery recovery;
  EXPECT_FALSE(recovery.Open(path.string(), options));
  Collector collector;
  for (std::size_t i = 0; i < recovery.Tables().size(); ++i) EXPECT_FALSE(recovery.Recover(i, collector));
  recovery.LostAndFound(collector);
  if (tables) *tables = recovery.Tables();
  return collector.rows;
}

std::size_t CountRows(const std::vector<SeenRow>& rows, const std::string& table, bool deleted) {
  std::size_t count = 0;
  for (const SeenRow& row : rows) count += row.table == table && row.deleted == deleted;
  return count;
}

TEST(DatabaseRecoveryTest, LiveRowsOfEveryKindOfTable) {
  TempFolder folder;
  const auto path = folder.Path("kinds.db");
  CreateDatabase(path, 1024,
                 "CREATE TABLE plain(a TEXT, b INTEGER);"
                 "CREATE TABLE keyed(id INTEGER PRIMARY KEY, note TEXT NOT NULL);"
                 "CREATE TABLE pairs(k TEXT PRIMARY KEY, v BLOB) WITHOUT ROWID;"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<200)"
                 "  INSERT INTO plain SELECT 'row ' || x, x * -1000003 FROM c;"
                 "INSERT INTO keyed(id, note) VALUES (7, 'seven'), (9223372036854775807, hex(zeroblob(2000)));"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<300)"
                 "  INSERT INTO pairs SELECT printf('key%05d', x), zeroblob(x % 50) FROM c;");
  const std::vector<SeenRow> rows = RecoverAll(path);
  EXPECT_EQ(CountRows(rows, "plain", false), 200u);
  EXPECT_EQ(CountRows(rows, "keyed", false), 2u);
  EXPECT_EQ(CountRows(rows, "pairs", false), 300u);
  for (const SeenRow& row : rows) EXPECT_FALSE(row.deleted) << row.table << " " << row.values.front();
  // The rowid stands in the INTEGER PRIMARY KEY column; a long text comes
  // back whole from its overflow pages.
  const auto keyed = std::find_if(rows.begin(), rows.end(), [](const SeenRow& r) { return r.table == "keyed" && r.values[0] != "7"; });
  ASSERT_NE(keyed, rows.end());
  EXPECT_EQ(keyed->values[0], "9223372036854775807");
  EXPECT_EQ(keyed->values[1], std::string(4000, '0'));
}

TEST(DatabaseRecoveryTest, RowsOfFreedPagesAndDroppedTables) {
  TempFolder folder;
  const auto path = folder.Path("freed.db");
  CreateDatabase(path, 1024,
                 "CREATE TABLE kept(name TEXT, n INTEGER);"
                 "CREATE TABLE gone(title TEXT, amount REAL, code INTEGER);"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<300)"
                 "  INSERT INTO kept SELECT 'kept row ' || x, x FROM c;"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<120)"
                 "  INSERT INTO gone SELECT 'dropped row ' || x, x + 0.25, x * 3 FROM c;"
                 "DELETE FROM kept WHERE n > 100;"
                 "DROP TABLE gone;");
  std::vector<RecoveredTable> tables;
  const std::vector<SeenRow> rows = RecoverAll(path, &tables);
  EXPECT_EQ(CountRows(rows, "kept", false), 100u);
  // Whole pages of "kept" went to the freelist: their rows come back, each once.
  EXPECT_GE(CountRows(rows, "kept", true), 150u);
  std::set<std::string> keptDeleted;
  for (const SeenRow& row : rows) {
    if (row.table != "kept" || !row.deleted) continue;
    ASSERT_EQ(row.values.size(), 2u);
    // A partial row lost its text to later writes; what survives must agree.
    EXPECT_EQ(row.values[0], row.partial ? "NULL" : "kept row " + row.values[1]);
    EXPECT_GT(std::stoi(row.values[1]), 100) << "a live row came out deleted";
    EXPECT_TRUE(keptDeleted.insert(row.values[1]).second) << "reported twice: " << row.values[1];
  }
  // The dropped table is found by its deleted schema row, with its rows.
  const auto gone = std::find_if(tables.begin(), tables.end(), [](const RecoveredTable& t) { return t.name == "gone"; });
  ASSERT_NE(gone, tables.end());
  EXPECT_TRUE(gone->dropped);
  EXPECT_EQ(gone->shape.columns, (std::vector<std::string>{"title", "amount", "code"}));
  EXPECT_GE(CountRows(rows, "gone", true), 100u);
  for (const SeenRow& row : rows) {
    if (row.table != "gone") continue;
    EXPECT_EQ(row.values[0], "dropped row " + std::to_string(std::stoi(row.values[2]) / 3));
  }
  // Read for its live rows alone, the file gives those and nothing else.
  RecoveryOptions liveOnly;
  liveOnly.liveOnly = true;
  const std::vector<SeenRow> live = RecoverAll(path, nullptr, liveOnly);
  EXPECT_EQ(live.size(), 100u);
  EXPECT_EQ(CountRows(live, "kept", false), 100u);
}

TEST(DatabaseRecoveryTest, FreedRowsThatFitTablesOfTheSameShapeGoToTheTableOfTheirValues) {
  // Two tables of two integers each, and SQLite's own sqlite_sequence: a
  // freed page of the second table holds records every one of them could
  // hold. The ranges of the live rows tell them apart.
  TempFolder folder;
  const auto path = folder.Path("pairs.db");
  CreateDatabase(path, 1024,
                 "CREATE TABLE small(id INTEGER PRIMARY KEY AUTOINCREMENT, a INTEGER, b INTEGER);"
                 "CREATE TABLE first(x INTEGER, y INTEGER);"
                 "CREATE TABLE second(p INTEGER, q INTEGER);"
                 "INSERT INTO small(a, b) VALUES (1, 2);"
                 "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM c WHERE n<300)"
                 "  INSERT INTO first SELECT n, n % 7 FROM c;"
                 "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM c WHERE n<900)"
                 "  INSERT INTO second SELECT 500000 + n, 900000 + n FROM c;"
                 "DELETE FROM second WHERE rowid > 300;");
  const std::vector<SeenRow> rows = RecoverAll(path);
  std::size_t secondDeleted = 0;
  for (const SeenRow& row : rows) {
    if (!row.deleted) continue;
    EXPECT_EQ(row.table, "second") << row.values.front();
    secondDeleted += row.table == "second";
  }
  EXPECT_GT(secondDeleted, 300u);  // whole freed pages of them
}

TEST(DatabaseRecoveryTest, EachDeletedRecordIsKeptOnceFromItsBestPlace) {
  const std::vector<std::uint8_t> record = {3, 0x13, 0x01, 'a', 'b', 'c', 5};  // ("abc", 5)
  const std::vector<std::uint8_t> partial = {3, 0x00, 0x01, 5};                // (NULL, 5)
  SpillFile spill;
  DeletedRowStore store(spill);
  store.Add({4, RowSource::kGap, false, std::nullopt, record});
  store.Add({9, RowSource::kFreelistLeaf, false, 12, record});
  store.Add({4, RowSource::kFreeBlock, true, std::nullopt, partial});
  std::vector<DeletedRow> kept;
  store.ForEach([&](const DeletedRow& row) { kept.push_back(row); });
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].source, RowSource::kFreelistLeaf);
  EXPECT_EQ(kept[0].pageNumber, 9u);
  EXPECT_EQ(kept[0].rowId, 12);
  // A copy of a live row is no deleted row.
  kept.clear();
  store.SeeLiveRow(record);
  store.ForEach([&](const DeletedRow& row) { kept.push_back(row); });
  EXPECT_TRUE(kept.empty());
}

}  // namespace
}  // namespace scrivel::sqlite
