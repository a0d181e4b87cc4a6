// The engine's order of work (database_recovery.h):
//
//   Open      the file (and its WAL), the schema's tables, the page map
//             (page_map.h), the dropped tables (dropped_tables.h)
//   first     one pass over every page of the last committed state and every
//   Recover   older page image, collecting the deleted rows of all tables:
//
//     page                        what is read                       shapes tried
//     table leaf of table T       free space (free_space_carver.h)   T, then dropped tables
//     freelist leaf               its cells, then its free space     every table
//     freelist trunk              behind its leaf list               every table
//     page nothing points at      as a freelist leaf                 every table
//     older image (WAL, journal)  its cells, then its free space     its page's table, then every table
//
//             the pass also notes the range of each column's integers in the
//             live cells (live_value_ranges.h); at its end, the whole records
//             of freed pages that fit several tables of their column count go
//             to the table whose live numbers are closest. The deleted rows
//             wait in a spill file (deleted_rows.h, spill_file.h).
//
//   each      the table's live rows in key order (their hashes remembered),
//   Recover   then its deleted rows that are no copy of a live one
#include "core/sqlite/database_recovery.h"

#include <algorithm>
#include <cctype>

#include "core/common/result_codes.h"
#include "core/sqlite/cell_payload.h"
#include "core/sqlite/column_fit.h"
#include "core/sqlite/deleted_rows.h"
#include "core/sqlite/dropped_tables.h"
#include "core/sqlite/free_space_carver.h"
#include "core/sqlite/live_value_ranges.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/page_map.h"
#include "core/sqlite/page_read_ahead.h"
#include "core/sqlite/record.h"
#include "core/sqlite/record_fit.h"

namespace scrivel::sqlite {

namespace {

bool DeclaresWithoutRowId(const std::string& sql) {
  std::string upper(sql);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  return upper.find("WITHOUT ROWID") != std::string::npos;
}

// Where carved records of an older page image are reported: rows of its
// cells keep the image's source; its free space is "wal-freeblock" for a
// WAL frame and "journal" for a journal record.
RowSource FreeSpaceSourceOfImage(RowSource imageSource) {
  return imageSource == RowSource::kJournal ? RowSource::kJournal : RowSource::kWalFreeBlock;
}

// Hands the carver the freed pages a spilled record may continue on: the
// freelist leaves. A returned view is valid until the next call.
class FreelistOverflowPages : public OverflowPages {
 public:
  FreelistOverflowPages(const SqliteReader& reader, const PageMap& map) : m_reader(reader), m_map(map) {}
  std::optional<Bytes> FreePage(std::uint32_t pageNumber) override {
    if (pageNumber == 0 || m_map.Role(pageNumber - 1) != PageRole::kFreelistLeaf) return std::nullopt;
    m_page.resize(m_reader.PageSize());
    if (m_reader.ReadPage(pageNumber - 1, m_page)) return std::nullopt;
    return Bytes(m_page);
  }

 private:
  const SqliteReader& m_reader;
  const PageMap& m_map;
  std::vector<std::uint8_t> m_page;
};

// True when every value of the complete record is of its column's own
// kind (column_fit.h).
bool AllValuesTypical(Bytes record, const TableShape& shape) {
  const auto layout = LiveRecordLayout(record);
  if (!layout) return false;
  bool typical = true;
  const bool complete = ForEachColumn(record, *layout, [&](int column, const ColumnValue& value) {
    if (static_cast<std::size_t>(column) >= shape.columns.size() || value.IsNull()) return;
    typical = typical && FitOfValue(value, shape, column) == ColumnFit::kTypical;
  });
  return complete && typical;
}

// True when some value of the record says something: a number other than
// zero, or a text or blob with a byte other than zero. Free space that
// secure_delete or a new page left zeroed reads as records of NULLs and
// zero-filled blobs, which are not rows.
bool HoldsInformation(Bytes record) {
  const auto layout = LiveRecordLayout(record);
  if (!layout) return false;
  bool informative = false;
  (void)ForEachColumn(record, *layout, [&](int, const ColumnValue& value) {
    if (value.IsNull()) return;
    informative = informative || std::any_of(value.bytes.begin(), value.bytes.end(), [](std::uint8_t b) { return b != 0; }) ||
                  value.serialType == 9;
  });
  return informative;
}

// The shape of a table of the schema. SQLite's own sqlite_sequence is
// declared without types, "(name,seq)", yet always holds a table's name and
// the largest row id it handed out: read so, the rows of other two-column
// tables on freed pages are not taken for its rows.
TableShape ShapeOfSchemaTable(const SchemaEntry& entry) {
  TableShape shape = ShapeOf(entry.sql);
  const bool sequence = entry.name == "sqlite_sequence" && shape.columns.size() == 2 && shape.affinities.size() == 2;
  if (sequence) shape.affinities = {ColumnAffinity::kText, ColumnAffinity::kInteger};
  return shape;
}

RecoveredRow AsRecoveredRow(const DeletedRow& found) {
  RecoveredRow row;
  row.pageNumber = found.pageNumber;
  row.source = found.source;
  row.deleted = true;
  row.partial = found.partial;
  row.rowId = found.rowId;
  row.record = found.record;
  return row;
}

}  // namespace

struct DatabaseRecovery::State {
  SqliteReader reader;
  RecoveryOptions options;
  std::vector<RecoveredTable> tables;
  std::size_t liveTableCount = 0;    // tables [0, liveTableCount) have a b-tree; the schema's tree is owner liveTableCount
  PageMap map;
  std::vector<PageDamage> pageDamage;
  std::vector<DamagedPage> damage;
  bool searched = false;
  SpillFile spill;                       // the deleted records found, until each table's turn
  std::vector<DeletedRowStore> deleted;  // by table index
  DeletedRowStore lostAndFound{spill};
  // Whole records of freed pages that fit several tables of their column
  // count, until the live value ranges tell them apart at the search's end.
  DeletedRowStore undecided{spill};
  std::optional<LiveValueRanges> liveRanges;
  std::vector<bool> sharesColumnCount;  // by table: another table has its column count (the ranges matter)
  std::vector<std::size_t> sharedColumnCounts;  // the column counts of more than one table
  // Shapes handed to the carver: every table, and per live table itself
  // followed by the dropped tables; with the table index of each shape.
  std::vector<TableShape> allShapes;
  std::vector<std::size_t> allShapeTables;
  std::vector<std::vector<TableShape>> ownShapes;
  std::vector<std::vector<std::size_t>> ownShapeTables;
  std::vector<std::uint8_t> page;
  std::vector<CarvedRecord> carved;

  void ListTables();
  void PrepareShapes();
  void Search();
  void SearchPage(std::uint32_t pageIndex, PageReadAhead& pages);
  void ReadCellsOf(Bytes page, std::uint32_t pageNumber, const PageHeader& header, RowSource source, int owner,
                   bool ownerSure);
  void CarveFreeSpace(Bytes page, std::uint32_t pageNumber, const PageHeader* header, int owner,
                      std::optional<RowSource> sourceOverride);
  void Keep(int table, const DeletedRow& row);
  int TableForRecord(Bytes record, int owner, bool ownerSure) const;
  std::vector<int> TablesOfItsCount(Bytes record) const;
  bool FitsSeveralTables(Bytes record) const;
  int TableByLiveRanges(Bytes record) const;
  void SettleUndecided();
  void NoteDamage();
};

void DatabaseRecovery::State::ListTables() {
  tables.clear();
  std::vector<SchemaEntry> entries;
  if (const std::error_code rc = ReadSchema(reader, &entries); rc)
    pageDamage.push_back({1, "the schema cannot be read in full: " + rc.message()});
  for (const SchemaEntry& entry : entries) {
    if (entry.type != "table" || entry.rootPage == 0) continue;
    RecoveredTable table;
    table.name = entry.name;
    table.shape = ShapeOfSchemaTable(entry);
    table.withoutRowId = DeclaresWithoutRowId(entry.sql);
    table.rootPage = entry.rootPage;
    tables.push_back(std::move(table));
  }
  liveTableCount = tables.size();

  std::vector<TreeRoot> roots;
  for (std::size_t i = 0; i < tables.size(); ++i) roots.push_back({tables[i].rootPage, static_cast<int>(i)});
  roots.push_back({1, static_cast<int>(liveTableCount)});
  for (const SchemaEntry& entry : entries)
    if (entry.type == "index" && entry.rootPage != 0) roots.push_back({entry.rootPage, -1});
  map.Build(reader, roots, &pageDamage);

  std::vector<RecoveredTable> dropped =
      FindDroppedTables(reader, map.RowPagesOf(static_cast<int>(liveTableCount)), tables);
  for (RecoveredTable& table : dropped) tables.push_back(std::move(table));
  deleted.clear();
  deleted.reserve(tables.size());
  for (std::size_t i = 0; i < tables.size(); ++i) deleted.emplace_back(spill);
}

void DatabaseRecovery::State::PrepareShapes() {
  // A table whose CREATE TABLE names no columns (a damaged statement) has
  // no shape to recognise its records by: it is left out, so that it takes
  // no record from the tables that have one.
  allShapes.clear();
  allShapeTables.clear();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (tables[i].shape.columns.empty()) continue;
    allShapes.push_back(tables[i].shape);
    allShapeTables.push_back(i);
  }
  sharesColumnCount.assign(tables.size(), false);
  sharedColumnCounts.clear();
  for (std::size_t i = 0; i < tables.size(); ++i)
    for (std::size_t j = 0; j < tables.size(); ++j)
      if (i != j && tables[i].shape.columns.size() == tables[j].shape.columns.size()) sharesColumnCount[i] = true;
  for (std::size_t i = 0; i < tables.size(); ++i)
    if (sharesColumnCount[i]) sharedColumnCounts.push_back(tables[i].shape.columns.size());
  ownShapes.assign(liveTableCount, {});
  ownShapeTables.assign(liveTableCount, {});
  for (std::size_t owner = 0; owner < liveTableCount; ++owner) {
    ownShapes[owner].push_back(tables[owner].shape);
    ownShapeTables[owner].push_back(owner);
    for (std::size_t i = liveTableCount; i < tables.size(); ++i) {
      if (tables[i].shape.columns.empty()) continue;
      ownShapes[owner].push_back(tables[i].shape);
      ownShapeTables[owner].push_back(i);
    }
  }
}

// The table a record with an intact header belongs to: `owner` when it
// fits that table (when the page surely is the owner's, also with fewer
// values: rows written before columns were added), else the first table
// of exactly its column count that it fits; -1 when it fits none. An older
// image's page may have belonged to another table then (a dropped one),
// so its owner is not sure.
int DatabaseRecovery::State::TableForRecord(Bytes record, int owner, bool ownerSure) const {
  const auto count = CountSerialTypes(record);
  if (!count) return -1;
  if (owner >= 0 && static_cast<std::size_t>(owner) < liveTableCount) {
    const TableShape& shape = tables[static_cast<std::size_t>(owner)].shape;
    if (RecordFitsShape(record, shape, ownerSure ? 1 : shape.columns.size())) return owner;
  }
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const TableShape& shape = tables[i].shape;
    if (!tables[i].withoutRowId && shape.columns.size() == *count && RecordFitsShape(record, shape, *count))
      return static_cast<int>(i);
  }
  return -1;
}

// True when the record fits more than one table of its column count.
bool DatabaseRecovery::State::FitsSeveralTables(Bytes record) const {
  const auto count = CountSerialTypes(record);
  const bool shared = count && std::find(sharedColumnCounts.begin(), sharedColumnCounts.end(), *count) != sharedColumnCounts.end();
  return shared && TablesOfItsCount(record).size() > 1;
}

// Every table of exactly the record's column count that it fits.
std::vector<int> DatabaseRecovery::State::TablesOfItsCount(Bytes record) const {
  std::vector<int> fitting;
  const auto count = CountSerialTypes(record);
  if (!count) return fitting;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const TableShape& shape = tables[i].shape;
    if (!tables[i].withoutRowId && shape.columns.size() == *count && RecordFitsShape(record, shape, *count))
      fitting.push_back(static_cast<int>(i));
  }
  return fitting;
}

// Of the tables the record fits, the one whose live rows hold the numbers
// closest to its own (live_value_ranges.h); the first on a tie.
int DatabaseRecovery::State::TableByLiveRanges(Bytes record) const {
  int best = -1;
  int bestCloseness = -1;
  for (const int table : TablesOfItsCount(record)) {
    const int closeness = liveRanges ? liveRanges->Closeness(static_cast<std::size_t>(table), record) : 0;
    if (closeness > bestCloseness) {
      best = table;
      bestCloseness = closeness;
    }
  }
  return best;
}

void DatabaseRecovery::State::SettleUndecided() {
  undecided.FinishAdding();
  undecided.ForEach([&](const DeletedRow& row) { Keep(TableByLiveRanges(row.record), row); });
}

void DatabaseRecovery::State::Keep(int table, const DeletedRow& row) {
  if (table < 0) {
    lostAndFound.Add(row);
  } else {
    deleted[static_cast<std::size_t>(table)].Add(row);
  }
}

void DatabaseRecovery::State::ReadCellsOf(Bytes pageBytes, std::uint32_t pageNumber, const PageHeader& header,
                                          RowSource source, int owner, bool ownerSure) {
  CellPayload cell;
  for (const std::uint32_t offset : CellOffsets(pageBytes, header)) {
    if (ReadTableLeafCell(reader, pageBytes, offset, &cell)) continue;
    const DeletedRow row{pageNumber, source, false, static_cast<std::int64_t>(cell.rowId), cell.bytes};
    int table = -1;
    if (owner < 0) {
      // A freed page's record that several tables could hold waits for the
      // live value ranges of every table.
      const std::vector<int> fitting = TablesOfItsCount(cell.bytes);
      if (fitting.size() > 1) {
        undecided.Add(row);
        continue;
      }
      if (!fitting.empty()) table = fitting.front();
    } else {
      table = TableForRecord(cell.bytes, owner, ownerSure);
    }
    // A cell that fits no table is kept only when its record is at least
    // well-formed; anything else on a free page is noise.
    if (table < 0 && !LiveRecordLayout(cell.bytes)) continue;
    Keep(table, row);
  }
}

void DatabaseRecovery::State::CarveFreeSpace(Bytes pageBytes, std::uint32_t pageNumber, const PageHeader* header,
                                             int owner, std::optional<RowSource> sourceOverride) {
  const bool own = owner >= 0 && static_cast<std::size_t>(owner) < liveTableCount;
  const std::vector<TableShape>& shapes = own ? ownShapes[static_cast<std::size_t>(owner)] : allShapes;
  FreelistOverflowPages overflow(reader, map);
  carved.clear();
  const CarveInput input{pageBytes, pageNumber, reader.UsableSize(), shapes, own ? 0 : -1, &overflow};
  if (header) {
    CarveLeafPage(input, *header, &carved);
  } else {
    CarveTrunkPage(input, &carved);
  }
  for (const CarvedRecord& record : carved) {
    if (!HoldsInformation(record.record)) continue;
    int table = -1;
    if (record.shape >= 0 && static_cast<std::size_t>(record.shape) < shapes.size())
      table = static_cast<int>(own ? ownShapeTables[static_cast<std::size_t>(owner)][static_cast<std::size_t>(record.shape)]
                                   : allShapeTables[static_cast<std::size_t>(record.shape)]);
    // On a page of table T, a record of another table is an older tenant's:
    // it is believed only when every value is of its column's own kind.
    if (own && table != owner && table >= 0 && !AllValuesTypical(record.record, tables[static_cast<std::size_t>(table)].shape))
      continue;
    const DeletedRow row{pageNumber, sourceOverride.value_or(record.source), record.partial, record.rowId, record.record};
    // On a freed page, a whole record that several tables could hold
    // waits for the live value ranges, as in ReadCellsOf.
    if (!own && !record.partial && FitsSeveralTables(record.record)) {
      undecided.Add(row);
      continue;
    }
    Keep(table, row);
  }
}

void DatabaseRecovery::State::SearchPage(std::uint32_t pageIndex, PageReadAhead& pages) {
  const PageRole role = map.Role(pageIndex);
  const bool tableLeaf = role == PageRole::kTableLeaf;
  const bool free = role == PageRole::kFreelistLeaf || role == PageRole::kUnused;
  if (!tableLeaf && !free && role != PageRole::kFreelistTrunk) return;
  const int owner = map.Owner(pageIndex);
  if (tableLeaf && static_cast<std::size_t>(owner) == liveTableCount) return;  // the schema's own pages: dropped_tables.h
  Bytes page;
  if (const std::error_code rc = pages.Read(pageIndex, &page); rc) {
    if (role != PageRole::kUnused) pageDamage.push_back({pageIndex + 1, "the page cannot be read: " + rc.message()});
    return;
  }
  const std::uint32_t pageNumber = pageIndex + 1;
  if (role == PageRole::kFreelistTrunk) {
    CarveFreeSpace(page, pageNumber, nullptr, -1, RowSource::kFreelistTrunk);
    return;
  }
  const auto header = ReadPageHeader(page, PageHeaderOffset(pageIndex));
  if (!header || !header->IsTableLeaf()) return;  // an overflow page, an index page, or nothing
  // (A table leaf that a damaged index points at has no owning table.)
  const bool ownedLeaf = tableLeaf && owner >= 0 && static_cast<std::size_t>(owner) < liveTableCount;
  if (ownedLeaf && sharesColumnCount[static_cast<std::size_t>(owner)])
    liveRanges->NotePage(static_cast<std::size_t>(owner), page, *header, reader.UsableSize());
  if (free) ReadCellsOf(page, pageNumber, *header, RowSource::kFreelistLeaf, -1, false);
  CarveFreeSpace(page, pageNumber, &*header, tableLeaf ? owner : -1, std::nullopt);
}

void DatabaseRecovery::State::Search() {
  searched = true;
  PrepareShapes();
  page.resize(reader.PageSize());
  liveRanges.emplace(liveTableCount);
  PageReadAhead pages(reader);
  for (std::uint32_t pageIndex = 0; pageIndex < reader.PageCount(); ++pageIndex) SearchPage(pageIndex, pages);
  for (const PageImage& image : reader.OlderImages()) {
    if (reader.ReadImage(image, page)) {
      pageDamage.push_back({image.pageIndex + 1, "an older image of the page cannot be read"});
      continue;
    }
    const auto header = ReadPageHeader(page, PageHeaderOffset(image.pageIndex));
    if (!header || !header->IsTableLeaf()) continue;
    const int owner = map.Owner(image.pageIndex);
    const std::uint32_t pageNumber = image.pageIndex + 1;
    if (static_cast<std::size_t>(owner) == liveTableCount) continue;  // the schema's own rows
    ReadCellsOf(page, pageNumber, *header, image.source, owner, false);
    CarveFreeSpace(page, pageNumber, &*header, owner, FreeSpaceSourceOfImage(image.source));
  }
  // Sealed before and after the undecided records join them: only the
  // stores those go to hold a block in memory meanwhile.
  for (DeletedRowStore& store : deleted) store.FinishAdding();
  SettleUndecided();
  for (DeletedRowStore& store : deleted) store.FinishAdding();
  lostAndFound.FinishAdding();
  NoteDamage();
}

void DatabaseRecovery::State::NoteDamage() {
  damage.clear();
  for (const std::string& problem : reader.Problems()) damage.push_back({0, problem});
  for (const PageDamage& entry : pageDamage) damage.push_back({entry.pageNumber, entry.reason});
}

DatabaseRecovery::DatabaseRecovery() : m_state(std::make_unique<State>()) {}
DatabaseRecovery::~DatabaseRecovery() = default;

std::error_code DatabaseRecovery::Open(const std::string& path, const RecoveryOptions& options) {
  m_state = std::make_unique<State>();
  m_state->options = options;
  OpenOptions readerOptions;
  readerOptions.readWal = options.readWal;
  readerOptions.readJournal = options.readWal;
  if (const std::error_code rc = m_state->reader.Open(path, readerOptions); rc) return rc;
  m_state->ListTables();
  m_state->NoteDamage();
  return {};
}

const std::vector<RecoveredTable>& DatabaseRecovery::Tables() const { return m_state->tables; }
std::optional<std::size_t> DatabaseRecovery::FindTable(std::string_view name) const {
  const std::vector<RecoveredTable>& tables = m_state->tables;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const std::string& candidate = tables[i].name;
    if (tables[i].dropped || candidate.size() != name.size()) continue;
    const bool same = std::equal(candidate.begin(), candidate.end(), name.begin(), [](char a, char b) {
      return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    if (same) return i;
  }
  return std::nullopt;
}

const std::vector<DamagedPage>& DatabaseRecovery::Damage() const { return m_state->damage; }
const SqliteReader& DatabaseRecovery::Reader() const { return m_state->reader; }

std::error_code DatabaseRecovery::Recover(std::size_t tableIndex, RowSink& sink) {
  State& state = *m_state;
  if (state.reader.PageSize() == 0) return kBadFile;
  if (tableIndex >= state.tables.size()) return kBadFile;
  if (!state.searched && !state.options.liveOnly) state.Search();
  const RecoveredTable& table = state.tables[tableIndex];
  std::error_code lastError;
  if (!table.dropped) {
    CellPayload cell;
    PageReadAhead pages(state.reader);
    for (const std::uint32_t pageIndex : state.map.RowPagesOf(static_cast<int>(tableIndex))) {
      Bytes page;
      if (const std::error_code rc = pages.Read(pageIndex, &page); rc) {
        lastError = rc;
        continue;
      }
      const auto header = ReadPageHeader(page, PageHeaderOffset(pageIndex));
      if (!header) continue;
      const bool tableLeaf = header->IsTableLeaf();
      const bool interior = state.map.Role(pageIndex) == PageRole::kIndexInterior;
      for (const std::uint32_t offset : CellOffsets(page, *header)) {
        const std::error_code rc = tableLeaf ? ReadTableLeafCell(state.reader, page, offset, &cell)
                                             : ReadIndexCell(state.reader, page, offset, interior, &cell);
        if (rc) {
          lastError = rc;
          continue;
        }
        state.deleted[tableIndex].SeeLiveRow(cell.bytes);
        if (state.options.deletedOnly) continue;
        RecoveredRow row;
        row.pageNumber = pageIndex + 1;
        if (tableLeaf) row.rowId = static_cast<std::int64_t>(cell.rowId);
        row.record = cell.bytes;
        sink.OnRow(table, row);
      }
    }
  }
  if (state.options.liveOnly) return lastError;
  state.deleted[tableIndex].ForEach([&](const DeletedRow& found) { sink.OnRow(table, AsRecoveredRow(found)); });
  return lastError;
}

void DatabaseRecovery::LostAndFound(RowSink& sink) {
  State& state = *m_state;
  if (state.reader.PageSize() == 0 || state.options.liveOnly) return;
  if (!state.searched) state.Search();
  RecoveredTable table;
  table.name = "lost_and_found";
  table.dropped = false;
  state.lostAndFound.ForEach([&](const DeletedRow& found) { sink.OnRow(table, AsRecoveredRow(found)); });
}

}  // namespace scrivel::sqlite
