#include "core/sqlite/free_space_carver.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/sqlite/btree_walk.h"
#include "core/sqlite/cell_payload.h"
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
  bool Contains(std::uint32_t pageNumber) const { return m_free.count(pageNumber) > 0; }
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
// (as the engine does). Record shapes index `tables`. The cells of freelist
// leaf pages (which the engine reads whole, not through the carver) come
// back too, with source freelist-leaf and shape -1.
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
      if (freePages.Contains(number)) {
        input.ownerShape = -1;
        for (const std::uint32_t offset : CellOffsets(input.page, *header)) {
          CellPayload cell;
          if (ReadTableLeafCell(reader, input.page, offset, &cell)) continue;
          CarvedRecord record;
          record.source = RowSource::kFreelistLeaf;
          record.record.assign(cell.bytes.begin(), cell.bytes.end());
          records.push_back(std::move(record));
        }
      }
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
    if (record.source == RowSource::kFreelistLeaf) {  // a whole cell of a freed page
      for (std::size_t t = 0; t < tables.size(); ++t)
        if (deleted[t].count(row) && found[t].insert(row).second) ++outcome.recovered;
      continue;
    }
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
    "CREATE TABLE notes(body TEXT, at INTEGER, score REAL);"
    "CREATE TABLE pairs(k TEXT NOT NULL, v TEXT) ;";

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
         "   (x * 37) % " + longest + "), 1700000000 + x * 86400, x % 7 - 3.25 FROM c;"
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + n + ")"
         " INSERT INTO pairs SELECT printf('key%d', x), CASE x % 3 WHEN 0 THEN NULL ELSE printf('value %d', x * x) END FROM c;";
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
       "DELETE FROM notes WHERE rowid = 80; DELETE FROM pairs WHERE rowid IN (7, 8, 150);",
       1.0, 0},
      {"a run", 4096, 200, 300,
       "DELETE FROM plain WHERE rowid BETWEEN 40 AND 52; DELETE FROM keyed WHERE id BETWEEN 90 AND 99;"
       "DELETE FROM pairs WHERE rowid BETWEEN 100 AND 140;",
       0.85, 0},
      // Rebalancing moves cells: a stale copy of a live row whose tail a
      // later cell overwrote reads as a row nobody wrote.
      {"every other row", 4096, 200, 300,
       "DELETE FROM plain WHERE rowid % 2 = 0; DELETE FROM keyed WHERE id % 2 = 1; DELETE FROM notes WHERE rowid % 2 = 0;"
       "DELETE FROM pairs WHERE rowid % 2 = 1;",
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

// ---- Hand-built pages ----

const TableShape kPlainShape = ShapeOf("CREATE TABLE t(a INTEGER, b TEXT)");
const TableShape kKeyedShape = ShapeOf("CREATE TABLE k(id INTEGER PRIMARY KEY, name TEXT NOT NULL, n REAL)");
const TableShape kTextFirstShape = ShapeOf("CREATE TABLE u(a TEXT, b INTEGER)");
constexpr std::size_t kPageSize = 1024;

std::vector<CarvedRecord> CarvePage(const std::vector<std::uint8_t>& page, std::span<const TableShape> shapes,
                                    std::uint32_t usableSize = kPageSize) {
  std::vector<CarvedRecord> records;
  CarveInput input;
  input.page = page;
  input.pageNumber = 2;
  input.usableSize = usableSize;
  input.shapes = shapes;
  const auto header = ReadPageHeader(input.page, 0);
  if (header) CarveLeafPage(input, *header, &records);
  return records;
}

std::size_t CellSize(std::int64_t rowId, const std::vector<TestValue>& values) {
  return EncodeTableLeafCell(rowId, values).size();
}

// A page holding one live cell and one freed cell at 600 (its first four
// bytes under a free-block header), `shape` the only table.
std::vector<std::uint8_t> PageWithFreedCell(std::int64_t rowId, const std::vector<TestValue>& values) {
  PageBuilder page(kPageSize);
  const auto live = EncodeTableLeafCell(1, {TestValue::Integer(7), TestValue::Text("live")});
  const std::size_t liveOffset = kPageSize - live.size();
  page.PutCell(liveOffset, live).SetCellCount(1).SetCellPointer(0, static_cast<std::uint16_t>(liveOffset));
  page.PutCell(600, EncodeTableLeafCell(rowId, values));
  page.PutFreeBlock(600, 0, static_cast<std::uint16_t>(CellSize(rowId, values))).SetFirstFreeBlock(600);
  page.SetCellContentStart(600);
  return page.Page();
}

TEST(FreeSpaceCarverTest, RebuildsTheFreedCellUnderAFreeBlockHeader) {
  const std::string longText(150, 'x');
  const std::string seventy(70, 'y');
  struct Case {
    const char* name;
    const TableShape* shape;
    std::int64_t rowId;
    std::vector<TestValue> values;
    Row expected;
    bool partial;
  };
  const Case cases[] = {
      {"rowid alias, one-byte varints: the lost type is the alias's NULL", &kKeyedShape, 5,
       {TestValue::Null(), TestValue::Text("alice"), TestValue::Real(2.5)}, {"null", "t:alice", "n:2.5"}, false},
      {"two-byte rowid: every type survives", &kPlainShape, 300, {TestValue::Integer(42), TestValue::Text("bob")},
       {"n:42", "t:bob"}, false},
      {"lost integer type told by its size", &kPlainShape, 3, {TestValue::Integer(1000), TestValue::Text("carol")},
       {"n:1000", "t:carol"}, false},
      {"lost NULL, 0 or 1: the value is lost", &kPlainShape, 3, {TestValue::Null(), TestValue::Text("dave")},
       {"null", "t:dave"}, true},
      {"negative 64-bit value, long text, three-byte rowid: header size confirmed", &kPlainShape, 20000,
       {TestValue::Integer(-9000000000000000000), TestValue::Text(longText)}, {"n:-9000000000000000000", "t:" + longText},
       false},
      {"two-byte first type, its low byte surviving", &kTextFirstShape, 7, {TestValue::Text(seventy), TestValue::Integer(-5)},
       {"t:" + seventy, "n:-5"}, false},
  };
  for (const Case& c : cases) {
    const auto records = CarvePage(PageWithFreedCell(c.rowId, c.values), std::span(c.shape, 1));
    ASSERT_EQ(records.size(), 1u) << c.name;
    EXPECT_EQ(records[0].source, RowSource::kFreeBlock) << c.name;
    EXPECT_EQ(records[0].offset, 600u) << c.name;
    EXPECT_EQ(records[0].shape, 0) << c.name;
    EXPECT_EQ(records[0].partial, c.partial) << c.name;
    EXPECT_EQ(RenderRecord(records[0].record), c.expected) << c.name;
  }
}

TEST(FreeSpaceCarverTest, ReadsMergedBlocksCutTailsAndRecordsOfNoTable) {
  PageBuilder page(kPageSize);
  // Three freed cells side by side, freed last to first: the later ones
  // keep the free-block header each got when it was freed alone.
  const std::vector<TestValue> first{TestValue::Integer(300), TestValue::Text("first")};
  const std::vector<TestValue> second{TestValue::Integer(-2), TestValue::Text("second")};
  const std::vector<TestValue> third{TestValue::Integer(123456), TestValue::Text("third")};
  const std::size_t a = 500;
  const std::size_t b = a + CellSize(10, first);
  const std::size_t c = b + CellSize(11, second);
  const std::size_t end = c + CellSize(12, third);
  page.PutCell(a, EncodeTableLeafCell(10, first)).PutCell(b, EncodeTableLeafCell(11, second)).PutCell(c, EncodeTableLeafCell(12, third));
  page.PutFreeBlock(c, 0, static_cast<std::uint16_t>(end - c));
  page.PutFreeBlock(b, 0, static_cast<std::uint16_t>(end - b));
  page.PutFreeBlock(a, 0, static_cast<std::uint16_t>(end - a)).SetFirstFreeBlock(static_cast<std::uint16_t>(a));
  // A cell whose tail a newer live cell overwrote: its header size (byte
  // 5, behind a two-byte payload size and a two-byte rowid) survived.
  const std::vector<TestValue> cut{TestValue::Integer(77), TestValue::Text(std::string(200, 'z'))};
  page.PutCell(700, EncodeTableLeafCell(5000, cut));
  const auto live = EncodeTableLeafCell(1, {TestValue::Integer(1), TestValue::Text("live over the tail")});
  page.PutCell(800, live).SetCellCount(1).SetCellPointer(0, 800).SetCellContentStart(500);
  page.PutFreeBlock(700, 0, 100).PutFreeBlock(a, 700, static_cast<std::uint16_t>(end - a));
  // A whole cell of a table the schema no longer has, in the gap.
  page.PutCell(200, EncodeTableLeafCell(9, {TestValue::Integer(5), TestValue::Text("gone"), TestValue::Blob({1, 2, 3})}));

  const auto records = CarvePage(page.Page(), std::span(&kPlainShape, 1));
  std::map<std::uint32_t, std::pair<Row, bool>> byOffset;
  for (const CarvedRecord& record : records) byOffset[record.offset] = {RenderRecord(record.record), record.partial};
  const std::map<std::uint32_t, std::pair<Row, bool>> expected = {
      {static_cast<std::uint32_t>(a), {{"n:300", "t:first"}, false}},
      {static_cast<std::uint32_t>(b), {{"n:-2", "t:second"}, false}},
      {static_cast<std::uint32_t>(c), {{"n:123456", "t:third"}, false}},
      {700, {{"n:77", "null"}, true}},
      {200, {{"n:5", "t:gone", "b:010203"}, false}},
  };
  EXPECT_EQ(byOffset, expected);
  for (const CarvedRecord& record : records)
    if (record.offset == 200) {
      EXPECT_EQ(record.shape, -1);
    }
}

TEST(FreeSpaceCarverTest, ReadsRowsWrittenBeforeAColumnWasAdded) {
  PageBuilder page(kPageSize);
  page.PutCell(300, EncodeTableLeafCell(4, {TestValue::Null(), TestValue::Text("before alter")}));
  for (const int owner : {0, -1}) {
    std::vector<CarvedRecord> records;
    CarveInput input;
    input.page = page.Page();
    input.usableSize = kPageSize;
    input.shapes = std::span(&kKeyedShape, 1);
    input.ownerShape = owner;
    CarveLeafPage(input, *ReadPageHeader(input.page, 0), &records);
    ASSERT_EQ(records.size(), 1u) << owner;
    EXPECT_EQ(records[0].source, RowSource::kGap);
    EXPECT_EQ(records[0].rowId, 4);
    // Only the page's own table takes a record with columns missing.
    EXPECT_EQ(records[0].shape, owner) << owner;
    EXPECT_EQ(RenderRecord(records[0].record), (Row{"null", "t:before alter"}));
  }
}

TEST(FreeSpaceCarverTest, RebuildsAFreedRowWrittenBeforeColumnsWereAdded) {
  // Three of five columns, freed: the free-block header took the payload
  // size, the rowid, the header size and column 0's type.
  const TableShape wide = ShapeOf("CREATE TABLE w(a INTEGER, b TEXT, c INTEGER, d TEXT, e INTEGER)");
  const std::vector<TestValue> old{TestValue::Integer(1000), TestValue::Text("written before"), TestValue::Integer(5)};
  const std::vector<TestValue> full{TestValue::Integer(1), TestValue::Text("live"), TestValue::Integer(2),
                                    TestValue::Text("x"), TestValue::Integer(3)};
  struct Case {
    const char* name;
    std::vector<TestValue> live;  // the live row of the page
    int owner;
    std::size_t blockSlack;       // bytes the free block reaches past the cell
    bool found;
  };
  const Case cases[] = {
      {"a short live row tells how short rows are", old, 0, 0, true},
      {"no short live row: only full rows (a guess invents rows)", full, 0, 0, false},
      {"another table's page: only full rows", old, -1, 0, false},
      {"the lengths do not add up exactly", old, 0, 2, false},
  };
  for (const Case& c : cases) {
    PageBuilder page(kPageSize);
    const auto live = EncodeTableLeafCell(1, c.live);
    const std::size_t liveOffset = kPageSize - live.size();
    page.PutCell(liveOffset, live).SetCellCount(1).SetCellPointer(0, static_cast<std::uint16_t>(liveOffset));
    page.PutCell(600, EncodeTableLeafCell(3, old));
    page.PutFreeBlock(600, 0, static_cast<std::uint16_t>(CellSize(3, old) + c.blockSlack)).SetFirstFreeBlock(600);
    page.SetCellContentStart(600);
    std::vector<CarvedRecord> records;
    CarveInput input;
    input.page = page.Page();
    input.usableSize = kPageSize;
    input.shapes = std::span(&wide, 1);
    input.ownerShape = c.owner;
    CarveLeafPage(input, *ReadPageHeader(input.page, 0), &records);
    if (!c.found) {
      EXPECT_TRUE(records.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(records.size(), 1u) << c.name;
    EXPECT_EQ(records[0].source, RowSource::kFreeBlock) << c.name;
    EXPECT_EQ(records[0].shape, 0) << c.name;
    EXPECT_FALSE(records[0].partial) << c.name;
    EXPECT_EQ(RenderRecord(records[0].record), (Row{"n:1000", "t:written before", "n:5"})) << c.name;
  }
}

// `count` rows of two columns: 100 + i and the text "row i".
std::vector<std::vector<TestValue>> RunOfRows(int count) {
  std::vector<std::vector<TestValue>> rows;
  for (int i = 0; i < count; ++i) rows.push_back({TestValue::Integer(100 + i), TestValue::Text("row " + std::to_string(i))});
  return rows;
}

std::set<std::string> CarvedTexts(const std::vector<CarvedRecord>& records) {
  std::set<std::string> texts;
  for (const CarvedRecord& record : records) {
    const Row row = RenderRecord(record.record);
    if (row.size() >= 2) texts.insert(row[1]);
  }
  return texts;
}

TEST(FreeSpaceCarverTest, ReadsEveryCellOfAFreelistTrunkPageThatWasALeaf) {
  // A leaf of table v with eight cells written from the page's end, their
  // pointers from byte 8; six are rows from before column c was added. The
  // trunk header and one leaf entry took bytes 0 to 12 and so the first two
  // pointers.
  const TableShape shapes[] = {kTextFirstShape, ShapeOf("CREATE TABLE v(a INTEGER, b TEXT, c INTEGER)")};
  PageBuilder page(kPageSize);
  std::size_t offset = kPageSize;
  std::set<std::string> expected;
  for (int i = 0; i < 8; ++i) {
    std::vector<TestValue> row{TestValue::Integer(100 + i), TestValue::Text("row " + std::to_string(i))};
    if (i % 4 == 3) row.push_back(TestValue::Integer(i));
    const auto cell = EncodeTableLeafCell(i + 1, row);
    offset -= cell.size();
    page.PutCell(offset, cell).SetCellPointer(static_cast<std::size_t>(i), static_cast<std::uint16_t>(offset));
    expected.insert("t:row " + std::to_string(i));
  }
  page.PutBytes(0, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 9});  // next trunk 0, one leaf: page 9
  std::vector<CarvedRecord> records;
  CarveInput input;
  input.page = page.Page();
  input.usableSize = kPageSize;
  input.shapes = shapes;
  input.ownerShape = -1;
  CarveTrunkPage(input, &records);
  EXPECT_EQ(CarvedTexts(records), expected);
  for (const CarvedRecord& record : records) {
    EXPECT_EQ(record.source, RowSource::kFreelistTrunk);
    EXPECT_EQ(record.shape, 1) << Describe(RenderRecord(record.record));
  }
}

TEST(FreeSpaceCarverTest, ReadsEveryCellOfARunInTheGap) {
  // Old cells in the unallocated gap, once one merged free block: the
  // first under its free-block header, a 2-byte fragment after the second.
  const auto rows = RunOfRows(6);
  PageBuilder page(kPageSize);
  const auto live = EncodeTableLeafCell(50, {TestValue::Integer(7), TestValue::Text("live")});
  const std::size_t liveOffset = kPageSize - live.size();
  page.PutCell(liveOffset, live).SetCellCount(1).SetCellPointer(0, static_cast<std::uint16_t>(liveOffset));
  const std::size_t begin = 200;
  std::size_t offset = begin;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto cell = EncodeTableLeafCell(static_cast<std::int64_t>(i + 1), rows[i]);
    page.PutCell(offset, cell);
    offset += cell.size() + (i == 1 ? 2 : 0);
  }
  page.PutFreeBlock(begin, 0, static_cast<std::uint16_t>(offset - begin));
  page.SetCellContentStart(static_cast<std::uint16_t>(liveOffset));
  const auto records = CarvePage(page.Page(), std::span(&kPlainShape, 1));
  std::set<std::string> expected;
  for (int i = 0; i < 6; ++i) expected.insert("t:row " + std::to_string(i));
  EXPECT_EQ(CarvedTexts(records), expected);
  for (const CarvedRecord& record : records) EXPECT_EQ(record.source, RowSource::kGap);
}

TEST(FreeSpaceCarverTest, JoinsFreedOverflowPagesAndMarksABrokenChain) {
  constexpr std::uint32_t kUsable = 512;
  const std::string text(1200, 'q');
  // The payload spills: its local part, then the first overflow page number.
  const std::vector<std::uint8_t> record = testing::EncodeRecord({TestValue::Integer(9), TestValue::Text(text)});
  const std::size_t local = LocalPayloadSize(record.size(), kUsable);
  ASSERT_LT(local, record.size());
  // Payload size (two bytes), rowid 128 (two bytes), the local part, then
  // overflow page 7.
  std::vector<std::uint8_t> cell(4 + local + 4);
  cell[0] = static_cast<std::uint8_t>(0x80 | (record.size() >> 7));
  cell[1] = static_cast<std::uint8_t>(record.size() & 0x7F);
  cell[2] = 0x81;
  std::copy_n(record.begin(), local, cell.begin() + 4);
  cell.back() = 7;
  PageBuilder page(kUsable);
  page.PutCell(kUsable - cell.size(), cell).PutFreeBlock(kUsable - cell.size(), 0, static_cast<std::uint16_t>(cell.size()));
  page.SetFirstFreeBlock(static_cast<std::uint16_t>(kUsable - cell.size()));
  // Overflow pages 7 -> 8 -> 9 hold the rest.
  std::map<std::uint32_t, std::vector<std::uint8_t>> overflow;
  std::size_t at = local;
  for (std::uint32_t number = 7; at < record.size(); ++number) {
    std::vector<std::uint8_t> bytes(kUsable);
    const std::size_t take = std::min<std::size_t>(kUsable - 4, record.size() - at);
    std::copy_n(record.begin() + static_cast<std::ptrdiff_t>(at), take, bytes.begin() + 4);
    at += take;
    if (at < record.size()) testing::Put32(bytes, 0, number + 1);
    overflow[number] = bytes;
  }
  class Pages : public OverflowPages {
   public:
    explicit Pages(std::map<std::uint32_t, std::vector<std::uint8_t>>& pages) : m_pages(pages) {}
    std::optional<Bytes> FreePage(std::uint32_t number) override {
      const auto it = m_pages.find(number);
      if (it == m_pages.end()) return std::nullopt;
      return Bytes(it->second);
    }

   private:
    std::map<std::uint32_t, std::vector<std::uint8_t>>& m_pages;
  } pages(overflow);

  const auto carve = [&] {
    std::vector<CarvedRecord> records;
    CarveInput input;
    input.page = page.Page();
    input.usableSize = kUsable;
    input.shapes = std::span(&kPlainShape, 1);
    input.overflow = &pages;
    CarveLeafPage(input, *ReadPageHeader(input.page, 0), &records);
    return records;
  };
  auto records = carve();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].source, RowSource::kOverflow);
  EXPECT_FALSE(records[0].partial);
  EXPECT_EQ(RenderRecord(records[0].record), (Row{"n:9", "t:" + text}));

  overflow.erase(8);  // reused: the chain breaks, the cut text is lost
  records = carve();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].source, RowSource::kFreeBlock);
  EXPECT_TRUE(records[0].partial);
  EXPECT_EQ(RenderRecord(records[0].record), (Row{"n:9", "null"}));

  testing::Put32(overflow[7], 0, 7);  // a chain that loops onto itself
  records = carve();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].partial);
}

TEST(FreeSpaceCarverTest, EndsQuicklyOnDamagedPagesAndKeepsWhatItCanRead) {
  const std::vector<TestValue> values{TestValue::Integer(4242), TestValue::Text("survivor")};
  const std::size_t size = CellSize(300, values);
  const auto base = [&] {
    PageBuilder page(kPageSize);
    page.PutCell(600, EncodeTableLeafCell(300, values)).PutFreeBlock(600, 0, static_cast<std::uint16_t>(size));
    page.SetFirstFreeBlock(600).SetCellContentStart(600);
    return page;
  };
  struct Case {
    const char* name;
    PageBuilder page;
    bool keepsTheFreedCell;
  };
  Case cases[] = {
      {"chain loops onto its own block", base().PutFreeBlock(600, 600, static_cast<std::uint16_t>(size)), true},
      {"chain points back to an earlier block", base().PutFreeBlock(600, 650, static_cast<std::uint16_t>(size)).PutFreeBlock(650, 600, 8), true},
      {"chain points outside the page", base().PutFreeBlock(600, 60000, static_cast<std::uint16_t>(size)), true},
      {"block of size zero", base().PutFreeBlock(600, 0, 0), false},
      {"block larger than the page", base().PutFreeBlock(600, 0, 0xFFFF), false},
      {"first free block inside the header", base().SetFirstFreeBlock(3), false},
      {"cell count past the page", base().SetCellCount(0xFFFF), false},
      {"live pointers into the freed cell", base().SetCellCount(2).SetCellPointer(0, 610).SetCellPointer(1, 0xFFF0), false},
      {"content start past the page", base().SetCellContentStart(0xFFFF), true},
      {"page truncated inside the cell", base().Truncate(620), false},
  };
  for (Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const auto records = CarvePage(c.page.Page(), std::span(&kPlainShape, 1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << c.name;
    bool kept = false;
    for (const CarvedRecord& record : records) kept = kept || RenderRecord(record.record) == Row{"n:4242", "t:survivor"};
    if (c.keepsTheFreedCell) {
      EXPECT_TRUE(kept) << c.name;
    }
    for (const CarvedRecord& record : records)
      EXPECT_LE(record.offset + record.record.size(), c.page.Page().size() + 8) << c.name;  // never past the page
  }
}

TEST(FreeSpaceCarverTest, InventsNothingFromNoiseOnLargePages) {
  // Twenty tables alike and a two-text table: the widest search there is.
  std::vector<TableShape> shapes(20, ShapeOf("CREATE TABLE w(a INTEGER, b TEXT, c TEXT, d REAL, e BLOB, f INTEGER, g TEXT)"));
  shapes.push_back(ShapeOf("CREATE TABLE p(a TEXT, b TEXT)"));
  std::uint32_t seed = 12345;
  const auto next = [&] { return seed = seed * 1103515245u + 12345u, static_cast<std::uint8_t>(seed >> 16); };
  struct Case {
    const char* name;
    std::function<std::uint8_t()> byte;
    bool freeBlocks;
  };
  const Case cases[] = {
      {"random bytes in the gap", next, false},
      {"zeros in the gap", [] { return std::uint8_t{0}; }, false},
      {"small numbers in a chain of free blocks", [&] { return static_cast<std::uint8_t>(next() % 20); }, true},
  };
  for (const Case& c : cases) {
    PageBuilder page(fmt::kMaxPageSize);
    std::vector<std::uint8_t> noise(fmt::kMaxPageSize - fmt::kLeafPageHeaderSize);
    for (std::uint8_t& byte : noise) byte = c.byte();
    page.PutBytes(fmt::kLeafPageHeaderSize, noise).SetPageType(fmt::kTableLeafPage).SetCellCount(0).SetFirstFreeBlock(0);
    if (c.freeBlocks) {
      page.SetFirstFreeBlock(1000);
      for (std::uint16_t block = 1000; block < 61000; block += 1000)
        page.PutFreeBlock(block, block + 1000 < 61000 ? block + 1000 : 0, 900);
    }
    std::vector<CarvedRecord> records;
    CarveInput input;
    input.page = page.Page();
    input.usableSize = fmt::kMaxPageSize;
    input.shapes = shapes;
    input.ownerShape = -1;
    const auto start = std::chrono::steady_clock::now();
    CarveLeafPage(input, *ReadPageHeader(input.page, 0), &records);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.name;  // generous: sanitizer builds run slower
    EXPECT_TRUE(records.empty()) << c.name << ": " << records.size() << " rows, the first " << Describe(RenderRecord(records[0].record));
  }
}

}  // namespace
}  // namespace scrivel::sqlite
