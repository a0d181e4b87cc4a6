// Walk over a stretch of free space holding several deleted records in a
// row (candidate_scan.h).
#include <algorithm>
#include <optional>

#include "core/sqlite/candidate_scan.h"
#include "core/sqlite/record_size.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// A cell whose leading fields survived: payload size P, rowid, header size
// H, then an accepted count of serial types (ColumnsOfTypeArea) and values
// that add up to P.
std::optional<FreeBlockMatch> TestIntactCell(Bytes page, std::size_t cell, std::size_t end, const CandidateRules& rules) {
  const Varint payloadSize = ReadVarint(page, cell, end - cell);
  const std::size_t fewest = FewestAcceptedColumns(rules);
  if (payloadSize.value < fewest + 1 || payloadSize.value > end - cell) return std::nullopt;
  const Varint rowId = ReadVarint(page, cell + payloadSize.size, end - cell - payloadSize.size);
  const std::size_t headerOffset = cell + payloadSize.size + rowId.size;
  if (rowId.size == 0 || headerOffset >= end) return std::nullopt;
  const Varint headerSize = ReadVarint(page, headerOffset, end - headerOffset);
  const std::size_t types = headerOffset + headerSize.size;
  if (headerSize.value <= headerSize.size || headerSize.value > payloadSize.value || types >= end) return std::nullopt;
  const std::size_t typeBytes = static_cast<std::size_t>(headerSize.value) - headerSize.size;
  if (typeBytes > end - types) return std::nullopt;
  const auto columns = ColumnsOfTypeArea(page.first(end), types, typeBytes, rules.columns, rules);
  if (!columns) return std::nullopt;
  const std::uint64_t recordSize = RecordSize(page, types, typeBytes, end - types, 0);
  if (recordSize + headerSize.size != payloadSize.value) return std::nullopt;
  return FreeBlockMatch{types, types + static_cast<std::size_t>(recordSize), *columns};
}

// A freed cell whose first 4 bytes became a free-block header: the block
// must lie inside the stretch and hold the whole record. `*exact` tells
// whether the record fills the block to its end (a block that was merged
// with the blocks behind it is larger than its first record).
std::optional<FreeBlockMatch> TestFreedCell(Bytes page, std::size_t block, std::size_t end, const CandidateRules& rules,
                                            bool* exact) {
  const auto next = Read16(page, block);
  const auto size = Read16(page, block + 2);
  // Cheap tests first: "size" fits a record of the table and stays inside
  // the page, and "next free block" is 0 or lies inside the page behind
  // this block's end (free blocks ascend and never overlap).
  const std::size_t fewest = FewestAcceptedColumns(rules);
  if (!next || !size || *size < fmt::kFreeBlockHeaderSize + fewest || *size > page.size() - block ||
      (*next != 0 && (*next < block + *size || *next >= page.size())))
    return std::nullopt;
  const auto match = TestFreeBlock(page, block, rules);
  if (!match || match->recordEnd > end || match->recordEnd > block + *size) return std::nullopt;
  *exact = match->recordEnd == block + *size;
  return match;
}

}  // namespace

std::optional<std::size_t> FindIntactCell(Bytes page, std::size_t begin, std::size_t limit, std::size_t end,
                                          const CandidateRules& rules) {
  end = std::min(end, page.size());
  for (std::size_t position = begin; position < limit && position < end; ++position)
    if (TestIntactCell(page, position, end, rules)) return position;
  return std::nullopt;
}

void WalkRecordRun(Bytes page, std::size_t begin, std::size_t end, const CandidateRules& rules, RowSource source,
                   CandidateList& list) {
  if (rules.columns == 0) return;
  end = std::min(end, page.size());
  std::size_t position = begin;
  while (position + fmt::kFreeBlockHeaderSize < end) {
    // The intact-cell test is exact (the sizes must add up), so it goes
    // first. A freed cell that does not fill its block must be followed by
    // another record, as in a merged block; otherwise its size field is
    // more likely stray bytes.
    auto match = TestIntactCell(page, position, end, rules);
    bool exact = false;
    if (!match) match = TestFreedCell(page, position, end, rules, &exact);
    if (match && !exact) {
      bool nextExact = false;
      const bool followed = match->recordEnd + fmt::kFreeBlockHeaderSize < end &&
                            (TestIntactCell(page, match->recordEnd, end, rules) ||
                             TestFreedCell(page, match->recordEnd, end, rules, &nextExact));
      if (!followed) match.reset();
    }
    if (!match) {
      ++position;
      continue;
    }
    if (!list.HasNear(match->candidate, kSameRecordDistance)) list.Add(match->candidate, source, match->columns);
    position = match->recordEnd;
  }
}

}  // namespace scrivel::sqlite
