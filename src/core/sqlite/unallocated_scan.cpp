// Scans of the space that no cell and no free block claims on a table leaf
// page (candidate_scan.h): the area behind the cell with the highest
// offset, and the unallocated gap between the cell pointer array and the
// cell content area.
#include <algorithm>
#include <optional>

#include "core/sqlite/candidate_scan.h"
#include "core/sqlite/cell_payload.h"
#include "core/sqlite/record_size.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Largest header size accepted for a record of `columns` serial types: one
// byte for the header-size varint and up to five types of two bytes.
constexpr std::size_t kHeaderSizeSlack = 5;

// The serial-type count of the record whose header-size varint of value
// `headerSize` ends at `typesOffset` (ColumnsOfTypeArea).
std::optional<std::size_t> ColumnsBehindHeaderSize(Bytes page, std::size_t typesOffset, std::uint64_t headerSize,
                                                   const CandidateRules& rules) {
  if (headerSize < 2) return std::nullopt;
  return ColumnsOfTypeArea(page, typesOffset, static_cast<std::size_t>(headerSize) - 1, rules.headerColumns, rules);
}

// End of the cell at `cellOffset` (its local payload and overflow pointer).
std::size_t CellEnd(Bytes page, std::size_t cellOffset, std::uint32_t usableSize) {
  const Varint payloadSize = ReadVarint(page, cellOffset, fmt::kMaxVarintSize);
  const Varint rowId = ReadVarint(page, cellOffset + payloadSize.size, fmt::kMaxVarintSize);
  const std::size_t local = LocalPayloadSize(payloadSize.value, usableSize);
  const std::size_t pointer = local < payloadSize.value ? fmt::kOverflowPointerSize : 0;
  return cellOffset + payloadSize.size + rowId.size + local + pointer;
}

// Records whose whole header survived behind `end`: a header-size varint
// that agrees with the serial types behind it.
void ScanIntactHeaders(Bytes page, std::size_t end, const CandidateRules& rules, CandidateList& list) {
  const std::size_t pageEnd = page.size();
  std::size_t position = end;
  while (position < pageEnd) {
    const std::size_t varintOffset = position;
    const Varint headerSize = ReadVarint(page, position, pageEnd - position);
    position += headerSize.size;
    const std::size_t left = pageEnd - varintOffset;
    const bool plausible = headerSize.value != 0 && headerSize.value <= rules.columns + kHeaderSizeSlack &&
                           headerSize.value < left && FewestAcceptedColumns(rules) + headerSize.size < left;
    const auto columns = plausible ? ColumnsBehindHeaderSize(page, position, headerSize.value, rules) : std::nullopt;
    if (!columns) continue;
    const std::uint64_t size =
        RecordSize(page, position, static_cast<std::size_t>(headerSize.value) - 1, pageEnd - position, *columns);
    if (size < pageEnd - position) list.Add(position, RowSource::kTrailing, *columns);
    position += static_cast<std::size_t>(std::min<std::uint64_t>(size, pageEnd - position));
  }
}

// Records one after the other behind `end`, each behind a 4-byte free-block
// header.
void ScanFreeBlockRun(Bytes page, std::size_t end, const CandidateRules& rules, CandidateList& list) {
  const std::size_t pageEnd = page.size();
  std::size_t position = end;
  while (position + rules.columns + 9 < pageEnd) {
    position += fmt::kFreeBlockHeaderSize;
    const std::uint64_t size = RecordSize(page, position, 0, pageEnd - position, rules.columns);
    if (size > pageEnd - position) return;
    list.Add(position, RowSource::kTrailing, rules.columns);
    position += static_cast<std::size_t>(size);
  }
}

}  // namespace

void ScanBehindLastCell(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list) {
  const std::vector<std::uint32_t> cells = CellOffsets(page, header);
  if (cells.empty()) return;
  const std::size_t end = CellEnd(page, *std::max_element(cells.begin(), cells.end()), rules.usableSize);
  if (end >= page.size()) return;
  ScanIntactHeaders(page, end, rules, list);
  ScanFreeBlockRun(page, end, rules, list);
}

void ScanUnallocatedGap(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list) {
  std::size_t top = page.size();
  if (header.cellCount == 1) {
    top = std::min(top, header.cellContentStart);
  } else {
    for (const std::uint32_t cell : CellOffsets(page, header)) top = std::min<std::size_t>(top, cell);
  }

  // The gap's used part begins after the first zero pointer-sized word
  // behind the pointer array's start, at the first non-zero byte.
  std::size_t zeroWord = header.cellPointerArrayOffset;
  while (zeroWord + fmt::kCellPointerSize <= top && *Read16(page, zeroWord) != 0) zeroWord += fmt::kCellPointerSize;
  if (zeroWord + fmt::kCellPointerSize > top) return;
  std::size_t start = zeroWord + fmt::kCellPointerSize;
  while (start < top && page[start] == 0) ++start;
  if (start >= top) return;

  // Cells freed at the start of the content area each got a free-block
  // header before the content start moved past them; older copies of moved
  // cells keep their whole header. This walk checks each record against
  // its own size fields, so it runs first; the backward search below then
  // adds only records it did not find.
  WalkRecordRun(page, zeroWord + fmt::kCellPointerSize, top, rules, RowSource::kGap, list);

  // Backward: whole cells that joined the gap keep their header-size
  // varint; each record found lowers the top of the search.
  for (std::size_t p = top; p-- > start;) {
    const Varint headerSize = ReadVarint(page, p, top - p);
    const std::size_t typesOffset = p + headerSize.size;
    const bool plausible = headerSize.value != 0 && headerSize.value >= FewestAcceptedColumns(rules) &&
                           headerSize.value <= rules.columns + kHeaderSizeSlack && headerSize.value < top - p &&
                           headerSize.value < top - typesOffset;
    const auto columns = plausible ? ColumnsBehindHeaderSize(page, typesOffset, headerSize.value, rules) : std::nullopt;
    if (!columns) continue;
    const std::uint64_t size =
        RecordSize(page, typesOffset, static_cast<std::size_t>(headerSize.value), top - typesOffset, *columns);
    if (size <= top - typesOffset) {
      if (!list.HasNear(typesOffset, kSameRecordDistance)) list.Add(typesOffset, RowSource::kGap, *columns);
      top = p;
    }
  }

}

}  // namespace scrivel::sqlite
