// Scan of the stale entries of a table leaf page's cell pointer array
// (candidate_scan.h): when a cell is deleted the array shrinks by one
// entry, and the entry behind its new end keeps pointing at an old cell.
#include <optional>

#include "core/sqlite/candidate_scan.h"
#include "core/sqlite/record_size.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Tries the bytes at `cell` as a whole deleted cell: either with its
// payload-size and rowid varints intact, or with its first 4 bytes turned
// into a free-block header. Returns the first serial-type byte and the
// serial-type count.
std::optional<FreeBlockMatch> TestDeletedCell(Bytes page, std::size_t cell, const CandidateRules& rules) {
  const std::size_t pageEnd = page.size();
  std::size_t types = 0;         // first byte behind the header-size varint
  std::size_t recordSize = 0;    // serial-type and value bytes the cell claims
  std::size_t left = 0;          // bytes left behind the cell's leading fields
  bool freeBlockShaped = false;  // first 4 bytes overwritten, size from the block header
  if (!HasBytes(page, cell, fmt::kFreeBlockHeaderSize)) return std::nullopt;
  if (*Read16(page, cell) != 0) {
    const Varint payloadSize = ReadVarint(page, cell, pageEnd - cell);
    if (payloadSize.value == 0 || payloadSize.value - 1 > pageEnd - cell) return std::nullopt;
    recordSize = static_cast<std::size_t>(payloadSize.value - 1);
    const std::size_t rowIdOffset = cell + payloadSize.size;
    const Varint rowId = ReadVarint(page, rowIdOffset, pageEnd - std::min(rowIdOffset, pageEnd));
    types = rowIdOffset + rowId.size;
    if (rowId.size == 0 || types >= pageEnd) return std::nullopt;
    left = pageEnd - types;
  } else {
    const auto blockSize = Read16(page, cell + 2);
    if (!blockSize || *blockSize < fmt::kFreeBlockHeaderSize + 1) return std::nullopt;
    recordSize = *blockSize - fmt::kFreeBlockHeaderSize - 1;
    types = cell + fmt::kFreeBlockHeaderSize;
    if (types >= pageEnd) return std::nullopt;
    left = pageEnd - cell;
    freeBlockShaped = true;
  }
  const Varint headerSize = ReadVarint(page, types, pageEnd - types);
  types += headerSize.size;
  const std::size_t fewest = FewestAcceptedColumns(rules);
  if (fewest >= left || types >= pageEnd) return std::nullopt;
  if (headerSize.value < 2 || headerSize.value >= pageEnd - types || headerSize.value >= recordSize) return std::nullopt;
  const auto columns =
      ColumnsOfTypeArea(page, types, static_cast<std::size_t>(headerSize.value) - 1, rules.columns, rules);
  if (!columns) return std::nullopt;
  const std::uint64_t size =
      RecordSize(page, types, static_cast<std::size_t>(headerSize.value), pageEnd - types, *columns);
  if (size != recordSize && !freeBlockShaped) return std::nullopt;
  return FreeBlockMatch{types, types + static_cast<std::size_t>(size), *columns};
}

}  // namespace

void ScanStalePointers(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list) {
  const std::size_t maxSlots = page.size() / fmt::kCellPointerSize;
  std::optional<std::size_t> lastLive;
  for (std::size_t slot = 0; slot < maxSlots; ++slot) {
    const auto pointer = Read16(page, header.cellPointerArrayOffset + slot * fmt::kCellPointerSize);
    if (!pointer || *pointer == 0 || *pointer >= page.size()) return;
    const std::size_t target = *pointer;
    if (slot < header.cellCount) {
      lastLive = target;
      continue;
    }
    if (lastLive && target >= *lastLive && target <= *lastLive + kSameRecordDistance) continue;
    if (target < header.CellPointerArrayEnd()) continue;  // points into the header: not a cell
    std::optional<FreeBlockMatch> match = TestFreeBlock(page, target, rules);
    if (!match) match = TestDeletedCell(page, target, rules);
    if (match && !list.HasNear(match->candidate, kSameRecordDistance))
      list.Add(match->candidate, RowSource::kStalePointer, match->columns);
  }
}

}  // namespace scrivel::sqlite
