#include "core/sqlite/table_scan.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite/btree_walk.h"
#include "core/sqlite/live_row_set.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/page_set.h"
#include "core/sqlite/record.h"
#include "core/sqlite/record_fit.h"
#include "core/sqlite/schema.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Reads one table page and hands its records to the visitor.
class PageDecoder {
 public:
  PageDecoder(SqliteReader& reader, RowVisitor& visitor, TableShape shape)
      : m_reader(reader), m_visitor(visitor), m_page(reader.PageSize()), m_shape(std::move(shape)) {}

  // Live cells are remembered; later cells and candidates that repeat one
  // of them are copies, not deleted rows.
  void DecodeLiveCells() {
    ForEachCell([&](const RowOrigin& origin) {
      if (const auto values = ValuesOfCell()) m_liveRows.Add(*values);
      m_visitor.OnCell(origin, m_cell);
    }, RowSource::kCell, false);
  }

  // Reads `pageIndex`; returns its code. On success Header() is set when
  // the page has a b-tree page header.
  std::error_code Load(std::uint32_t pageIndex) {
    m_pageIndex = pageIndex;
    m_header.reset();
    const std::error_code rc = m_reader.ReadPage(pageIndex, m_page);
    if (!rc) m_header = ReadPageHeader(m_page, PageHeaderOffset(pageIndex));
    return rc;
  }
  const std::optional<PageHeader>& Header() const { return m_header; }
  Bytes Page() const { return m_page; }

  void DecodeFreePageCells() {
    ForEachCell([&](const RowOrigin& origin) {
      const auto values = ValuesOfCell();
      const auto layout = LiveRecordLayout(m_cell.bytes);
      if (!layout || !KindsFitShape(m_cell.bytes, *layout, m_shape)) return;
      if (!values || !m_liveRows.Contains(*values)) m_visitor.OnCell(origin, m_cell);
    }, RowSource::kFreelistLeaf, true);
  }

  void DecodeCandidates(std::optional<RowSource> sourceOverride) {
    if (!m_header || !m_header->IsTableLeaf()) return;
    const CandidateRules rules = RulesFor(m_reader, m_visitor);
    DecodeCandidateList(FindCandidates(m_page, *m_header, rules), rules, sourceOverride);
  }

  // A freelist trunk page has no page header any more: the old cells lie
  // behind its list of leaf page numbers.
  void DecodeTrunkRemains() {
    const CandidateRules rules = RulesFor(m_reader, m_visitor);
    const std::size_t leafCount = std::min<std::size_t>(
        *Read32(m_page, sqlite_format::kTrunkHeaderSize - 4),
        (m_page.size() - sqlite_format::kTrunkHeaderSize) / sqlite_format::kTrunkLeafEntrySize);
    CandidateList list;
    WalkRecordRun(m_page, sqlite_format::kTrunkHeaderSize + leafCount * sqlite_format::kTrunkLeafEntrySize,
                  m_reader.UsableSize(), rules, RowSource::kFreelistTrunk, list);
    DecodeCandidateList(list.Items(), rules, RowSource::kFreelistTrunk);
  }

 private:
  void DecodeCandidateList(const std::vector<Candidate>& candidates, const CandidateRules& rules,
                           std::optional<RowSource> sourceOverride) {
    const Bytes page = m_page;
    for (const Candidate& candidate : candidates) {
      const Bytes bytes = page.subspan(candidate.offset);
      const std::size_t columns = candidate.columns != 0 ? candidate.columns : rules.columns;
      const auto layout = CandidateRecordLayout(bytes, columns);
      std::size_t valuesEnd = 0;
      if (!layout || !KindsFitShape(bytes, *layout, m_shape, &valuesEnd)) continue;
      if (m_liveRows.Contains(bytes.subspan(layout->valuesBegin, valuesEnd - layout->valuesBegin))) continue;
      const RowOrigin origin{m_pageIndex, sourceOverride.value_or(candidate.source), true, columns};
      m_visitor.OnCandidate(origin, bytes);
    }
  }

  template <typename Visit>
  void ForEachCell(Visit&& visit, RowSource source, bool deleted) {
    if (!m_header || !m_header->IsTableLeaf()) return;
    const RowOrigin origin{m_pageIndex, source, deleted, 0};
    for (const std::uint32_t offset : CellOffsets(m_page, *m_header))
      if (!ReadTableLeafCell(m_reader, m_page, offset, &m_cell)) visit(origin);
  }

  // The values area of the current cell's record.
  std::optional<Bytes> ValuesOfCell() const {
    const auto layout = LiveRecordLayout(m_cell.bytes);
    if (!layout) return std::nullopt;
    return m_cell.bytes.subspan(layout->valuesBegin);
  }

  SqliteReader& m_reader;
  RowVisitor& m_visitor;
  LiveRowSet m_liveRows;
  std::vector<std::uint8_t> m_page;
  std::uint32_t m_pageIndex = 0;
  std::optional<PageHeader> m_header;
  CellPayload m_cell;
  TableShape m_shape;  // from the table's CREATE TABLE; empty when the schema has none
};

// Serial types of the first cell of a page, or nothing when it cannot be read.
std::optional<std::size_t> FirstCellColumnCount(const SqliteReader& reader, Bytes page, const PageHeader& header) {
  const std::vector<std::uint32_t> cells = CellOffsets(page, header);
  if (cells.empty()) return std::nullopt;
  CellPayload cell;
  if (ReadTableLeafCell(reader, page, cells.front(), &cell)) return std::nullopt;
  return CountSerialTypes(cell.bytes);
}

}  // namespace

std::size_t RowVisitor::CandidateColumns(SqliteReader& reader) {
  const int columns = reader.ExpectedColumns(reader.state.currentTable);
  return columns > 0 ? static_cast<std::size_t>(columns) : 0;
}

CandidateRules RulesFor(SqliteReader& reader, RowVisitor& visitor) {
  CandidateRules rules;
  rules.columns = visitor.CandidateColumns(reader);
  rules.fewestColumns = std::min(visitor.FewestColumns(reader), rules.columns);
  rules.headerColumns = visitor.HeaderColumns(reader);
  rules.requireMessageGuid = EqualsIgnoringCase(reader.state.currentTable, "message");
  rules.usableSize = reader.UsableSize();
  return rules;
}

std::error_code ScanTable(SqliteReader& reader, std::string_view name, RowVisitor& visitor) {
  reader.state.currentTable = std::string(name);
  if (reader.PageSize() == 0) return kBadFile;
  std::vector<std::uint32_t> roots;
  std::error_code lastError = FindTableRoots(reader, name, &roots);
  std::vector<SchemaEntry> schema;
  (void)ReadSchema(reader, &schema);  // a read error was reported by FindTableRoots already
  TableShape shape;
  for (const SchemaEntry& entry : schema)
    if (entry.type == "table" && entry.name == name) shape = ShapeOf(entry.sql);

  PageDecoder decoder(reader, visitor, std::move(shape));
  const auto remember = [&](std::error_code rc) {
    if (rc) lastError = rc;
    return !rc;
  };

  // Each page is walked once even when two roots (or a corrupt tree) lead to it.
  PageSet visited(reader.PageCount());
  for (const std::uint32_t root : roots) {
    PageSet leaves(reader.PageCount());
    remember(CollectLeafPages(reader, root, visited, leaves));
    const std::vector<std::uint32_t> leafPages = leaves.Ascending();
    for (const std::uint32_t pageIndex : leafPages)
      if (remember(decoder.Load(pageIndex))) decoder.DecodeLiveCells();
    for (const std::uint32_t pageIndex : leafPages)
      if (remember(decoder.Load(pageIndex))) decoder.DecodeCandidates(std::nullopt);
  }

  // Free pages: only leaves are read. A free interior page's children are
  // not followed: they may since have been reused by a live table, and the
  // ones that are free are on the freelist themselves.
  for (const std::uint32_t pageIndex : reader.FreePages()) {
    if (visited.Contains(pageIndex) || !remember(decoder.Load(pageIndex))) continue;
    const auto& header = decoder.Header();
    if (!header || !header->IsTableLeaf()) continue;
    const std::size_t expected = visitor.CandidateColumns(reader);
    const std::size_t fewest = std::min(visitor.FewestColumns(reader), expected);
    const auto columns = FirstCellColumnCount(reader, decoder.Page(), *header);
    const bool hasCells = !CellOffsets(decoder.Page(), *header).empty();
    if (hasCells && (!columns || *columns < fewest || *columns > expected)) continue;  // another table's page (or unreadable)
    decoder.DecodeFreePageCells();
    decoder.DecodeCandidates(RowSource::kFreelistLeaf);
  }
  for (const std::uint32_t pageIndex : reader.FreeTrunkPages())
    if (!visited.Contains(pageIndex) && remember(decoder.Load(pageIndex))) decoder.DecodeTrunkRemains();
  return lastError;
}

}  // namespace scrivel::sqlite
