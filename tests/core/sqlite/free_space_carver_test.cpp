#include "core/sqlite/free_space_carver.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/sqlite/btree_walk.h"
#include "core/sqlite/page_set.h"
#include "core/sqlite/record.h"
#include "core/sqlite/sqlite_reader.h"
#include "core/sqlite/sqlite_format.h"
#include "support/page_builder.h"
#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

namespace fmt = sqlite_format;
using testing::CreateDatabase;
using testing::EncodeTableLeafCell;
using testing::PageBuilder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::TestValue;

using Row = std::vector<std::string>;

// Numbers render alike whether stored as integer or real (a REAL column
// stores integral values as integers).
std::string RenderNumber(double real) {
  if (std::trunc(real) == real && std::fabs(real) < 9.0e15) return "n:" + std::to_string(static_cast<long long>(real));
  char text[40];
  std::snprintf(text, sizeof text, "n:%.17g", real);
  return text;
}

std::string RenderBytes(const char* kind, const std::uint8_t* bytes, std::size_t size) {
  std::string text = kind;
  for (std::size_t i = 0; i < size; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    text += hex;
  }
  return text;
}

std::string RenderValue(const ColumnValue& value) {
  if (value.IsNull()) return "null";
  if (value.IsInteger()) return "n:" + std::to_string(value.Integer());
  if (value.IsFloat()) return RenderNumber(value.Float());
  if (value.IsText()) return "t:" + std::string(value.Text());
  return RenderBytes("b:", value.bytes.data(), value.bytes.size());
}

std::string RenderColumn(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL: return "null";
    case SQLITE_INTEGER: return "n:" + std::to_string(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT: return RenderNumber(sqlite3_column_double(statement, column));
    case SQLITE_TEXT: return "t:" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
    default:
      return RenderBytes("b:", static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, column)),
                         static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
  }
}

Row RenderRecord(const std::vector<std::uint8_t>& record) {
  Row row;
  const auto layout = LiveRecordLayout(record);
  EXPECT_TRUE(layout.has_value());
  if (layout) ForEachColumn(Bytes(record), *layout, [&](int, const ColumnValue& value) { row.push_back(RenderValue(value)); });
  return row;
}

struct Table {
  std::string name;
  TableShape shape;
  std::uint32_t rootPage = 0;
};

// The rows of every table (the INTEGER PRIMARY KEY column as the NULL
// its records hold).
std::vector<std::set<Row>> Snapshot(sqlite3* db, const std::vector<Table>& tables) {
  std::vector<std::set<Row>> rows;
  for (const Table& table : tables) {
    std::set<Row> tableRows;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, ("SELECT * FROM " + table.name).c_str(), -1, &statement, nullptr), SQLITE_OK);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      Row row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c)
        row.push_back(c == table.shape.rowIdColumn ? "null" : RenderColumn(statement, c));
      tableRows.insert(row);
    }
    sqlite3_finalize(statement);
    rows.push_back(tableRows);
  }
  return rows;
}

std::vector<Table> ReadTables(sqlite3* db) {
  std::vector<Table> tables;
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT name, sql, rootpage FROM sqlite_master WHERE type = 'table' ORDER BY rowid",
                               -1, &statement, nullptr),
            SQLITE_OK);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    const std::string sql = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
    tables.push_back({reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), ShapeOf(sql),
                      static_cast<std::uint32_t>(sqlite3_column_int(statement, 2))});
  }
  sqlite3_finalize(statement);
  return tables;
}

// Hands the carver the file's free pages (freelist trunks and leaves).
class FreePages : public OverflowPages {
 public:
  FreePages(const std::vector<std::uint8_t>& file, std::uint32_t pageSize) : m_file(file), m_pageSize(pageSize) {}
  void Add(std::uint32_t pageNumber) { m_free.insert(pageNumber); }
  std::optional<Bytes> FreePage(std::uint32_t pageNumber) override {
    if (!m_free.count(pageNumber)) return std::nullopt;
    return Bytes(m_file).subspan(std::size_t{pageNumber - 1} * m_pageSize, m_pageSize);
  }

 private:
  const std::vector<std::uint8_t>& m_file;
  std::uint32_t m_pageSize;
  std::set<std::uint32_t> m_free;
};

std::uint32_t Be32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return (std::uint32_t{bytes.at(offset)} << 24) | (bytes.at(offset + 1) << 16) | (bytes.at(offset + 2) << 8) |
         bytes.at(offset + 3);
}

// Carves every table leaf page and every freelist trunk page of the file
// at `path`, handing the carver the shapes with the page's own table first
// (as the engine does). Record shapes index `tables`.
std::vector<CarvedRecord> CarveFile(const std::filesystem::path& path, const std::vector<Table>& tables) {
  const std::vector<std::uint8_t> file = ReadBytes(path);
  SqliteReader reader;
  EXPECT_FALSE(reader.Open(path.string()));
  std::map<std::uint32_t, std::size_t> owner;  // page number -> table
  for (std::size_t t = 0; t < tables.size(); ++t) {
    PageSet visited(reader.PageCount());
    PageSet leaves(reader.PageCount());
    EXPECT_FALSE(CollectLeafPages(reader, tables[t].rootPage - 1, visited, leaves));
    for (const std::uint32_t index : leaves.Ascending()) owner[index + 1] = t;
  }
  std::uint32_t pageSize = (file.at(fmt::kPageSizeOffset) << 8) | file.at(fmt::kPageSizeOffset + 1);
  if (pageSize == fmt::kStoredPageSizeFor65536) pageSize = fmt::kMaxPageSize;
  const std::uint32_t usable = pageSize - file.at(fmt::kReservedBytesOffset);
  const auto pageCount = static_cast<std::uint32_t>(file.size() / pageSize);
  FreePages freePages(file, pageSize);
  std::vector<std::uint32_t> trunks;
  for (std::uint32_t trunk = Be32(file, fmt::kFirstTrunkPageOffset); trunk != 0 && trunk <= pageCount && trunks.size() < pageCount;) {
    trunks.push_back(trunk);
    freePages.Add(trunk);
    const std::size_t base = std::size_t{trunk - 1} * pageSize;
    const std::uint32_t leaves = Be32(file, base + 4);
    for (std::uint32_t i = 0; i < leaves && 8 + 4 * i + 4 <= pageSize; ++i) freePages.Add(Be32(file, base + 8 + 4 * i));
    trunk = Be32(file, base);
  }
  std::vector<CarvedRecord> records;
  for (std::uint32_t number = 1; number <= pageCount; ++number) {
    std::vector<std::size_t> order;
    if (owner.count(number)) order.push_back(owner[number]);
    for (std::size_t t = 0; t < tables.size(); ++t)
      if (order.empty() || order.front() != t) order.push_back(t);
    std::vector<TableShape> shapes;
    for (const std::size_t t : order) shapes.push_back(tables[t].shape);
    CarveInput input;
    input.page = Bytes(file).subspan(std::size_t{number - 1} * pageSize, pageSize);
    input.pageNumber = number;
    input.usableSize = usable;
    input.shapes = shapes;
    input.overflow = &freePages;
    input.ownerShape = owner.count(number) ? 0 : -1;
    std::vector<CarvedRecord> found;
    if (std::find(trunks.begin(), trunks.end(), number) != trunks.end()) {
      CarveTrunkPage(input, &found);
    } else if (const auto header = ReadPageHeader(input.page, number == 1 ? fmt::kDatabaseHeaderSize : 0);
               header && header->IsTableLeaf()) {
      CarveLeafPage(input, *header, &found);
    }
    for (CarvedRecord& record : found) {
      if (record.shape >= 0) record.shape = static_cast<int>(order[static_cast<std::size_t>(record.shape)]);
      records.push_back(std::move(record));
    }
  }
  return records;
}

// True when `row` (some values NULL because they were lost) agrees with a
// row of `rows` on every value it kept.
bool MatchesWithLostValues(const Row& row, const std::set<Row>& rows) {
  for (const Row& candidate : rows) {
    if (candidate.size() != row.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < row.size() && same; ++i) same = row[i] == "null" || row[i] == candidate[i];
    if (same) return true;
  }
  return false;
}

struct Outcome {
  std::size_t deleted = 0;      // rows the history deleted
  std::size_t recovered = 0;    // ... that came back whole, under their table
  std::size_t partial = 0;      // partial rows that agree with a row of their table
  std::size_t liveCopies = 0;   // whole rows equal to a live row (the caller drops them)
  std::vector<std::string> invented;  // anything else
};

std::string Describe(const Row& row) {
  std::string text;
  for (const std::string& value : row) text += (text.empty() ? "" : " | ") + value.substr(0, 40);
  return text;
}

// Runs `setup`, then `change` on a database written by the SQLite library,
// and carves the file.
Outcome RunHistory(std::uint32_t pageSize, const std::string& setup, const std::string& change) {
  TempFolder folder;
  const auto path = folder.Path("history.db");
  CreateDatabase(path, pageSize, setup);
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::vector<Table> tables = ReadTables(db);
  const auto before = Snapshot(db, tables);
  // secure_delete is a setting of the connection (and some builds turn it on).
  const std::string keepFreedBytes = "PRAGMA secure_delete = OFF;";
  EXPECT_EQ(sqlite3_exec(db, (keepFreedBytes + change).c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  const auto after = Snapshot(db, tables);
  sqlite3_close(db);

  Outcome outcome;
  std::vector<std::set<Row>> deleted(tables.size());
  for (std::size_t t = 0; t < tables.size(); ++t) {
    for (const Row& row : before[t])
      if (!after[t].count(row)) deleted[t].insert(row);
    outcome.deleted += deleted[t].size();
  }
  std::vector<std::set<Row>> found(tables.size());
  for (const CarvedRecord& record : CarveFile(path, tables)) {
    const Row row = RenderRecord(record.record);
    const std::string where = " (" + std::string(RowSourceName(record.source)) + " at " + std::to_string(record.offset) + ")";
    if (record.shape < 0) {
      bool known = false;
      for (std::size_t t = 0; t < tables.size(); ++t) known = known || before[t].count(row) > 0;
      if (!known) outcome.invented.push_back("lost and found: " + Describe(row) + where);
      continue;
    }
    const auto t = static_cast<std::size_t>(record.shape);
    if (record.partial) {
      if (MatchesWithLostValues(row, before[t])) ++outcome.partial;
      else outcome.invented.push_back(tables[t].name + " partial: " + Describe(row) + where);
    } else if (deleted[t].count(row)) {
      if (found[t].insert(row).second) ++outcome.recovered;
    } else if (after[t].count(row)) {
      ++outcome.liveCopies;
    } else {
      outcome.invented.push_back(tables[t].name + ": " + Describe(row) + where);
    }
  }
  return outcome;
}

// Tables of several shapes: without and with INTEGER PRIMARY KEY, every
// affinity, NOT NULL, negative and 64-bit integers, reals, blobs and
// texts of every length (some long enough to spill onto overflow pages).
const char* const kShapes =
    "CREATE TABLE plain(a INTEGER, b TEXT, c REAL, d BLOB);"
    "CREATE TABLE keyed(id INTEGER PRIMARY KEY, title TEXT NOT NULL, amount NUMERIC, flag INTEGER NOT NULL);"
    "CREATE TABLE notes(body TEXT, at INTEGER, score REAL);";

std::string Rows(int count, int longestText) {
  const std::string n = std::to_string(count);
  const std::string longest = std::to_string(longestText);
  return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + n + ")"
         " INSERT INTO plain SELECT CASE x % 4 WHEN 0 THEN -x * 7919 WHEN 1 THEN x * 9007199254740993"
         "   WHEN 2 THEN x ELSE NULL END,"
         "  printf('name %d ', x) || substr('abcdefghijklmnopqrstuvwxyz', 1, x % 27),"
         "  CASE x % 3 WHEN 0 THEN x / 7.0 WHEN 1 THEN x ELSE NULL END,"
         "  CASE x % 5 WHEN 0 THEN NULL ELSE CAST(printf('%08x', x * 2654435761) AS BLOB) END FROM c;"
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + n + ")"
         " INSERT INTO keyed(title, amount, flag) SELECT printf('title %d', x), CASE x % 3 WHEN 0 THEN x * 1.5"
         "   WHEN 1 THEN -x ELSE 'n/a' END, x % 2 FROM c;"
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + n + ")"
         " INSERT INTO notes SELECT substr(replace(hex(zeroblob(" + longest + ")), '00', 'note text ~ '), 1,"
         "   (x * 37) % " + longest + "), 1700000000 + x * 86400, x % 7 - 3.25 FROM c;";
}

struct HistoryCase {
  const char* name;
  std::uint32_t pageSize;
  int rows;
  int longestText;
  const char* change;
  double minRecall;          // share of the deleted rows that must come back whole
  std::size_t maxInvented;   // rows that match no row the table ever held
};

TEST(FreeSpaceCarverTest, RebuildsDeletedRowsOfDatabasesTheLibraryWrote) {
  const HistoryCase cases[] = {
      {"single rows", 4096, 200, 300,
       "DELETE FROM plain WHERE rowid IN (17, 50, 121); DELETE FROM keyed WHERE id IN (33, 34);"
       "DELETE FROM notes WHERE rowid = 80;",
       1.0, 0},
      {"a run", 4096, 200, 300, "DELETE FROM plain WHERE rowid BETWEEN 40 AND 52; DELETE FROM keyed WHERE id BETWEEN 90 AND 99;",
       0.85, 0},
      // Rebalancing moves cells: a stale copy of a live row whose tail a
      // later cell overwrote reads as a row nobody wrote.
      {"every other row", 4096, 200, 300,
       "DELETE FROM plain WHERE rowid % 2 = 0; DELETE FROM keyed WHERE id % 2 = 1; DELETE FROM notes WHERE rowid % 2 = 0;",
       0.65, 1},
      {"small pages, spilled texts", 512, 120, 1500,
       "DELETE FROM notes WHERE rowid % 3 = 0; DELETE FROM plain WHERE rowid % 5 = 0;", 0.35, 0},
      {"large pages", 65536, 400, 3000,
       "DELETE FROM plain WHERE rowid % 3 = 1; DELETE FROM keyed WHERE id > 350; DELETE FROM notes WHERE rowid % 4 = 0;",
       0.85, 0},
      {"medium pages", 1024, 150, 900,
       "DELETE FROM plain WHERE rowid IN (3, 4, 5, 77); DELETE FROM keyed WHERE id % 10 = 0;"
       "DELETE FROM notes WHERE rowid BETWEEN 20 AND 30;",
       0.55, 0},
  };
  for (const HistoryCase& c : cases) {
    const Outcome outcome = RunHistory(c.pageSize, kShapes + Rows(c.rows, c.longestText), c.change);
    std::string invented;
    for (const std::string& row : outcome.invented) invented += "\n  " + row;
    EXPECT_LE(outcome.invented.size(), c.maxInvented) << c.name << ": invented rows:" << invented;
    EXPECT_GE(outcome.recovered, static_cast<std::size_t>(std::ceil(c.minRecall * static_cast<double>(outcome.deleted))))
        << c.name << ": " << outcome.recovered << " of " << outcome.deleted << " deleted rows recovered, "
        << outcome.partial << " partial";
    std::printf("[ figures  ] %s: %zu of %zu deleted rows whole, %zu partial, %zu copies of live rows\n", c.name,
                outcome.recovered, outcome.deleted, outcome.partial, outcome.liveCopies);
  }
}

}  // namespace
}  // namespace scrivel::sqlite
