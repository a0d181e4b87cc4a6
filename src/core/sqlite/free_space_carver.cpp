// Where a table leaf page keeps the cells it freed, and how each place is
// searched (the rule that rebuilds a freed cell: freed_cell_rebuild.h):
//
//   source          place on the page                      how its cells are read
//   freeblock       each free block of the chain from      the first cell rebuilt; behind it, in
//                   the page header's first-free-block     a merged block, cells whose header
//                   field (ascending, never touching)      survived, or that an older free-block
//                                                          header bounds
//   stale-pointer   cell pointer array entries past the    a cell whose header survived at the
//                   cell count that point at free bytes    offset the entry names
//   gap             between the cell pointer array and     every offset: a cell whose header
//                   the cell content area                  survived, or an older free-block
//                                                          header (cells freed at the content
//                                                          area's start join the gap)
//   trailing        behind the cell with the highest       as the gap
//                   offset, outside every free block
//   freeblock       other bytes outside cells and free     as the gap
//                   blocks (a chain that broke off)
//   freelist-trunk  a freelist trunk page behind its       first the cells the entries of the old
//                   leaf list                              cell pointer array behind the list
//                                                          point at (header intact), then as
//                                                          the gap
//   overflow        a record of any place above whose      its payload joined from the freed
//                   payload spilled                        overflow pages the caller hands out
//
// Live cells, and every record carved, take their bytes: nothing is read
// twice. A spilled record whose overflow chain breaks (a page that is not
// free, a loop) keeps the values on its page and the ones the chain still
// gave whole; the value the break cut and every later one are NULL, and
// the row is partial.
#include "core/sqlite/free_space_carver.h"

#include <algorithm>
#include <unordered_set>

#include "core/sqlite/byte_ranges.h"
#include "core/sqlite/cell_payload.h"
#include "core/sqlite/cell_reading.h"
#include "core/sqlite/freed_cell_rebuild.h"
#include "core/sqlite/record_normalize.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Scans try a rebuild behind at most this many apparent free-block headers
// per page: in random-looking bytes (old compressed blobs) every second
// offset looks like one, and each try weighs every table's hypotheses.
constexpr int kMaxLeftoverTriesPerPage = 256;

class PageCarver {
 public:
  PageCarver(const CarveInput& input, int ownerShape, std::vector<CarvedRecord>* out)
      : m_input(input), m_area(MakeCarveArea(input.page, input.usableSize, input.shapes, ownerShape)), m_out(out) {}

  void CarveLeaf(const PageHeader& header) {
    const std::size_t arrayEnd = header.CellPointerArrayEnd();
    if (arrayEnd >= m_area.end) return;
    m_taken.Add(0, arrayEnd);  // page header and cell pointer array
    const std::size_t liveEnd = TakeLiveCells(header);
    CarveFreeBlockChain(header, arrayEnd);
    CarveStalePointers(header, arrayEnd);
    const std::size_t contentStart = std::clamp(header.cellContentStart, arrayEnd, m_area.end);
    ScanRegion(arrayEnd, contentStart, RowSource::kGap);
    // Whatever no cell and no listed free block holds inside the content area.
    for (std::size_t offset = m_taken.SkipTaken(contentStart); offset < m_area.end;) {
      const std::size_t end = m_taken.NextTaken(offset, m_area.end);
      ScanRegion(offset, end, offset >= liveEnd ? RowSource::kTrailing : RowSource::kFreeBlock);
      offset = m_taken.SkipTaken(end);
    }
  }

  void CarveTrunk() {
    const auto leafCount = Read32(m_area.page, fmt::kTrunkHeaderSize - fmt::kTrunkLeafEntrySize);
    if (!leafCount) return;
    const std::size_t maxLeaves = (m_area.end - std::min(m_area.end, fmt::kTrunkHeaderSize)) / fmt::kTrunkLeafEntrySize;
    const std::size_t listEnd = fmt::kTrunkHeaderSize + std::min<std::size_t>(*leafCount, maxLeaves) * fmt::kTrunkLeafEntrySize;
    m_taken.Add(0, listEnd);
    const std::vector<std::size_t> oldCells = OldCellPointers(listEnd);
    m_area.ownerShape = TableOfOldCells(oldCells);
    for (const std::size_t offset : oldCells) {
      if (m_taken.SkipTaken(offset) != offset) continue;
      if (const auto reading = ReadIntactCell(m_area, offset, m_taken.NextTaken(offset, m_area.end), true))
        Emit(*reading, RowSource::kFreelistTrunk);
    }
    ScanRegion(listEnd, m_area.end, RowSource::kFreelistTrunk);
  }

 private:
  // Marks every live cell's bytes taken and notes the varint sizes of the
  // live rowids; returns one past the end of the cell that ends last.
  std::size_t TakeLiveCells(const PageHeader& header) {
    std::size_t lastEnd = 0;
    const std::size_t arrayEnd = header.CellPointerArrayEnd();
    for (std::size_t entry = header.cellPointerArrayOffset; entry < arrayEnd; entry += fmt::kCellPointerSize) {
      const std::size_t offset = *Read16(m_area.page, entry);  // inside: the header's cell count fits the page
      if (offset < arrayEnd || offset >= m_area.end) continue;  // damaged: points into the header or past the page
      const std::size_t end = std::min(LiveCellEnd(offset), m_area.end);
      m_taken.Add(offset, end);
      lastEnd = std::max(lastEnd, end);
    }
    return lastEnd;
  }

  // One past the last byte of the live cell at `offset` (4 bytes when its
  // varints are damaged).
  std::size_t LiveCellEnd(std::size_t offset) {
    const auto payloadSize = ReadCompleteVarint(m_area.page, offset, m_area.end);
    if (!payloadSize) return offset + kMinCellSize;
    const auto rowId = ReadCompleteVarint(m_area.page, offset + payloadSize->size, m_area.end);
    if (!rowId) return offset + kMinCellSize;
    m_area.rowIdSizeMin = m_area.rowIdSizeMin == 0 ? rowId->size : std::min(m_area.rowIdSizeMin, rowId->size);
    m_area.rowIdSizeMax = std::max(m_area.rowIdSizeMax, rowId->size);
    if (const std::size_t columns = LiveColumnCount(offset + payloadSize->size + rowId->size); columns > 0)
      m_area.liveColumnsMin = m_area.liveColumnsMin == 0 ? columns : std::min(m_area.liveColumnsMin, columns);
    const std::size_t localSize = LocalPayloadSize(payloadSize->value, m_area.usableSize);
    const std::size_t pointer = localSize < payloadSize->value ? fmt::kOverflowPointerSize : 0;
    return offset + payloadSize->size + rowId->size + localSize + pointer;
  }

  // Serial types in the record header of a live cell at `headerOffset`; 0
  // when the header is damaged or runs past the page.
  std::size_t LiveColumnCount(std::size_t headerOffset) const {
    const auto headerSize = ReadCompleteVarint(m_area.page, headerOffset, m_area.end);
    if (!headerSize || headerSize->value <= headerSize->size || headerSize->value > m_area.maxHeaderSize) return 0;
    const std::size_t typesEnd = headerOffset + static_cast<std::size_t>(headerSize->value);
    if (typesEnd > m_area.end) return 0;
    std::size_t columns = 0;
    for (std::size_t position = headerOffset + headerSize->size; position < typesEnd; ++columns) {
      const auto serialType = ReadCompleteVarint(m_area.page, position, typesEnd);
      if (!serialType) return 0;
      position += serialType->size;
    }
    return columns;
  }

  // The free-block chain: each block must lie behind the previous one, so
  // a chain that loops or points back ends, as does one that points into
  // the page header or past the page; a block over a live cell is passed
  // over.
  void CarveFreeBlockChain(const PageHeader& header, std::size_t arrayEnd) {
    std::size_t previousEnd = 0;
    for (std::size_t block = header.firstFreeBlock; block != 0;) {
      if (block < previousEnd || block < arrayEnd) return;
      const auto next = Read16(m_area.page, block);
      const auto size = Read16(m_area.page, block + 2);
      if (!next || !size || *size < fmt::kFreeBlockHeaderSize || block + *size > m_area.end) return;
      const std::size_t end = block + *size;
      if (!m_taken.Overlaps(block, end)) {
        CarveFreedRun(block, end, RowSource::kFreeBlock);
        m_taken.Add(block, end);
      }
      previousEnd = end;
      block = *next;
    }
  }

  // Cells of a free block (or of a leftover free-block header found by a
  // scan): the first one rebuilt, then the ones merged behind it.
  void CarveFreedRun(std::size_t begin, std::size_t end, RowSource source) {
    std::size_t offset = begin;
    std::size_t bound = end;  // the end of the block that starts at `offset`
    while (offset + kMinCellSize <= end) {
      std::optional<CellReading> reading;
      if (offset != begin) reading = ReadIntactCell(m_area, offset, end, true);
      if (!reading) reading = RebuildFreedCell(m_area, offset, bound);
      if (!reading || !Emit(*reading, source)) break;
      offset = reading->IsCut() ? end : reading->cellEnd;
      bound = LeftoverFreeBlockEnd(m_area, offset, end).value_or(end);
    }
    ScanRegion(offset, end, source);
  }

  // Entries of the cell pointer array past the cell count that point at
  // bytes no live cell holds.
  void CarveStalePointers(const PageHeader& header, std::size_t arrayEnd) {
    const std::size_t arrayLimit = std::min(header.cellContentStart, m_area.end);
    for (std::size_t entry = arrayEnd; entry + fmt::kCellPointerSize <= arrayLimit; entry += fmt::kCellPointerSize) {
      const std::size_t offset = *Read16(m_area.page, entry);  // inside: entry + 2 <= arrayLimit <= end
      if (offset < arrayEnd || offset + kMinCellSize > m_area.end) break;  // past the stale entries
      if (m_taken.SkipTaken(offset) != offset) continue;
      if (const auto reading = ReadIntactCell(m_area, offset, m_taken.NextTaken(offset, m_area.end), true))
        Emit(*reading, RowSource::kStalePointer);
    }
  }

  // A trunk page that was a table leaf keeps, behind its leaf list, the
  // entries of the leaf's cell pointer array the list did not overwrite:
  // each that points past itself into the page names a cell whose header
  // survived. The old array ends at the first entry that points elsewhere.
  std::vector<std::size_t> OldCellPointers(std::size_t listEnd) const {
    std::vector<std::size_t> offsets;
    for (std::size_t entry = listEnd; entry + fmt::kCellPointerSize <= m_area.end; entry += fmt::kCellPointerSize) {
      const std::size_t offset = *Read16(m_area.page, entry);  // inside: entry + 2 <= end
      if (offset < entry + fmt::kCellPointerSize || offset + kMinCellSize > m_area.end) break;
      offsets.push_back(offset);
    }
    return offsets;
  }

  // The table most of the old cells hold a full row of: the leaf's own
  // table, whose rows written before ALTER TABLE ADD COLUMN are read
  // short as well. -1 when none fits.
  int TableOfOldCells(const std::vector<std::size_t>& offsets) const {
    std::vector<int> votes(m_area.shapes.size());
    for (const std::size_t offset : offsets)
      if (const auto reading = ReadIntactCell(m_area, offset, m_area.end, false); reading && reading->shape >= 0)
        ++votes[static_cast<std::size_t>(reading->shape)];
    const auto most = std::max_element(votes.begin(), votes.end());
    return most == votes.end() || *most == 0 ? -1 : static_cast<int>(most - votes.begin());
  }

  // Every offset of [begin, end) outside taken bytes: a cell whose header
  // survived, or a free-block header left behind.
  void ScanRegion(std::size_t begin, std::size_t end, RowSource source) {
    end = std::min(end, m_area.end);
    // [offset, limit) holds no taken byte; both are found again whenever a
    // record was emitted (which takes bytes) or the scan reaches `limit`.
    std::size_t offset = 0;
    std::size_t limit = 0;
    const auto moveTo = [&](std::size_t next) {
      offset = m_taken.SkipTaken(next);
      limit = m_taken.NextTaken(offset, end);
    };
    moveTo(begin);
    while (offset + kMinCellSize <= end) {
      if (offset >= limit) {
        moveTo(offset);
        continue;
      }
      // Zeroed bytes (never written, or wiped) start neither a cell, whose
      // payload size would be 0, nor a free-block header, whose size would
      // be 0: pass over them quickly.
      if (StartsNothing(offset)) {
        ++offset;
        continue;
      }
      if (const auto reading = ReadIntactCell(m_area, offset, limit, true); reading && Emit(*reading, source)) {
        moveTo(std::max(reading->IsCut() ? limit : reading->cellEnd, offset + 1));
        continue;
      }
      const auto blockEnd =
          m_leftoverTries < kMaxLeftoverTriesPerPage ? LeftoverFreeBlockEnd(m_area, offset, limit) : std::nullopt;
      if (blockEnd) {
        ++m_leftoverTries;
        if (const auto reading = RebuildFreedCell(m_area, offset, *blockEnd); reading && Emit(*reading, source)) {
          const std::size_t after = reading->IsCut() ? *blockEnd : reading->cellEnd;
          // The scan goes on where the run of cells stopped: bytes behind
          // it (a fragment, a cell a newer write cut) may hide more cells.
          moveTo(std::max(CarveFreedRunBehind(after, *blockEnd, source), offset + 1));
          continue;
        }
      }
      ++offset;
    }
  }

  // True when the byte at `offset` and the two at `offset + 2` are zero.
  // Precondition: offset + kMinCellSize <= m_area.end.
  bool StartsNothing(std::size_t offset) const {
    return m_area.page[offset] == 0 && m_area.page[offset + 2] == 0 && m_area.page[offset + 3] == 0;
  }

  // The cells merged behind the first one of a leftover free block;
  // returns where the run stopped.
  std::size_t CarveFreedRunBehind(std::size_t offset, std::size_t end, RowSource source) {
    while (offset + kMinCellSize <= end) {
      std::optional<CellReading> reading = ReadIntactCell(m_area, offset, end, true);
      if (!reading) {
        const auto bound = LeftoverFreeBlockEnd(m_area, offset, end);
        if (bound) reading = RebuildFreedCell(m_area, offset, *bound);
      }
      if (!reading || !Emit(*reading, source)) return offset;
      offset = reading->IsCut() ? end : reading->cellEnd;
    }
    return offset;
  }

  // Adds the record of `reading` to the output unless its bytes are taken.
  bool Emit(const CellReading& reading, RowSource source) {
    const std::size_t end = std::min(reading.IsCut() ? reading.survivingEnd : reading.cellEnd, m_area.end);
    if (m_taken.Overlaps(reading.cellBegin, end)) return false;
    m_taken.Add(reading.cellBegin, end);

    const std::size_t localValuesEnd = std::min(reading.localEnd, reading.survivingEnd);
    Bytes values = m_area.page.subspan(reading.valuesBegin, localValuesEnd - reading.valuesBegin);
    if (reading.spilled && !reading.IsCut() && JoinOverflow(reading, values)) {
      const bool fits = reading.shape < 0 ||
                        FitReading(m_area.page, reading, m_joined, m_input.shapes[static_cast<std::size_t>(reading.shape)]).fits;
      if (fits) {
        values = m_joined;
        source = RowSource::kOverflow;
      }
    }
    bool partial = false;
    m_columns.clear();
    VisitReadingColumns(m_area.page, reading, values, [&](int, const ColumnValue* value) {
      if (!value) partial = true;
      m_columns.push_back(value ? *value : ColumnValue{});
    });
    CarvedRecord record;
    record.offset = static_cast<std::uint32_t>(reading.cellBegin);
    record.source = source;
    record.shape = reading.shape;
    record.partial = partial;
    record.rowId = reading.rowId;
    BuildNormalizedRecord(m_columns, &record.record);
    m_out->push_back(std::move(record));
    return true;
  }

  // Joins the values on the page with the freed overflow pages into
  // m_joined. False when the chain breaks (m_joined then holds what it gave).
  bool JoinOverflow(const CellReading& reading, Bytes localValues) {
    m_joined.assign(localValues.begin(), localValues.end());
    if (!m_input.overflow || m_input.usableSize <= fmt::kOverflowPageHeaderSize) return false;
    const std::size_t payloadBegin = reading.localEnd - LocalPayloadSize(reading.payloadSize, m_area.usableSize);
    const std::uint64_t valueBytes = reading.payloadSize - (reading.valuesBegin - payloadBegin);
    const std::size_t pageCapacity = m_input.usableSize - fmt::kOverflowPageHeaderSize;
    std::unordered_set<std::uint32_t> visited;
    std::uint32_t pageNumber = reading.firstOverflowPage;
    while (m_joined.size() < valueBytes) {
      if (pageNumber == 0 || !visited.insert(pageNumber).second) return false;
      const std::optional<Bytes> page = m_input.overflow->FreePage(pageNumber);
      if (!page || page->size() < m_input.usableSize) return false;
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(valueBytes - m_joined.size(), pageCapacity));
      const Bytes part = page->subspan(fmt::kOverflowPageHeaderSize, take);  // inside: 4 + take <= usable size
      m_joined.insert(m_joined.end(), part.begin(), part.end());
      pageNumber = *Read32(*page, 0);  // inside: the page holds its 4-byte header
    }
    return true;
  }

  const CarveInput& m_input;
  CarveArea m_area;
  std::vector<CarvedRecord>* m_out;
  ByteRanges m_taken;
  std::vector<ColumnValue> m_columns;     // the record being written
  std::vector<std::uint8_t> m_joined;     // a payload joined with its overflow pages
  int m_leftoverTries = 0;
};

}  // namespace

void CarveLeafPage(const CarveInput& input, const PageHeader& header, std::vector<CarvedRecord>* out) {
  if (!header.IsTableLeaf() || input.usableSize == 0) return;
  PageCarver(input, input.ownerShape, out).CarveLeaf(header);
}

void CarveTrunkPage(const CarveInput& input, std::vector<CarvedRecord>* out) {
  if (input.usableSize == 0) return;
  // A freelist page belongs to no table any more.
  PageCarver(input, -1, out).CarveTrunk();
}

}  // namespace scrivel::sqlite
