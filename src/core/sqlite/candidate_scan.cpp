#include "core/sqlite/candidate_scan.h"

#include <algorithm>
#include <utility>

#include "core/sqlite/cell_payload.h"
#include "core/sqlite/record_size.h"
#include "core/sqlite/sqlite_format.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

void CandidateList::Add(std::size_t offset, RowSource source, std::size_t columns) {
  m_items.push_back({static_cast<std::uint32_t>(offset), source, columns});
}

bool CandidateList::HasNear(std::size_t offset, std::size_t distance) const {
  return std::any_of(m_items.begin(), m_items.end(), [&](const Candidate& c) {
    const std::size_t gap = c.offset > offset ? c.offset - offset : offset - c.offset;
    return gap <= distance;
  });
}

std::optional<std::size_t> ColumnsOfTypeArea(Bytes page, std::size_t typesOffset, std::size_t typeBytes,
                                             std::size_t expectedTypes, const CandidateRules& rules) {
  if (typeBytes == 0 || typesOffset >= page.size() || typeBytes > page.size() - typesOffset) return std::nullopt;
  // The accepted counts: expectedTypes, and from rules.fewestColumns to
  // rules.columns for rules that accept short records. A serial type takes
  // 1 to 9 bytes, which rules most stray areas out before they are read.
  const bool acceptsShort = AcceptsShortRecords(rules);
  if (expectedTypes == 0 && !acceptsShort) return std::nullopt;
  const std::size_t fewestTypes = acceptsShort && expectedTypes != 0 ? std::min(expectedTypes, rules.fewestColumns)
                                  : acceptsShort                     ? rules.fewestColumns
                                                                     : expectedTypes;
  const std::size_t mostTypes = acceptsShort ? std::max(expectedTypes, rules.columns) : expectedTypes;
  if (typeBytes < fewestTypes || typeBytes > mostTypes * sqlite_format::kMaxVarintSize) return std::nullopt;
  // One pass counts the varints of the area; it is a serial-type area only
  // when the last of them ends exactly at its end. A varint cut off by the
  // end of the page is no serial type.
  const std::size_t end = typesOffset + typeBytes;
  std::size_t position = typesOffset;
  std::size_t count = 0;
  while (position < end) {
    const std::size_t size = ReadVarint(page, position, sqlite_format::kMaxVarintSize).size;
    const bool complete = size == sqlite_format::kMaxVarintSize || page[position + size - 1] < 0x80;
    if (!complete) return std::nullopt;
    position += size;
    if (++count > mostTypes) return std::nullopt;
  }
  if (position != end) return std::nullopt;
  if (expectedTypes != 0 && count == expectedTypes) return rules.columns;
  if (!acceptsShort || count < rules.fewestColumns || count > rules.columns) return std::nullopt;
  return count;
}

namespace {

// [start, end) of every live cell on the page, overflow pointer included.
std::vector<std::pair<std::size_t, std::size_t>> LiveCellExtents(Bytes page, const PageHeader& header,
                                                                 std::uint32_t usableSize) {
  std::vector<std::pair<std::size_t, std::size_t>> extents;
  for (const std::uint32_t offset : CellOffsets(page, header)) {
    const Varint payloadSize = ReadVarint(page, offset, sqlite_format::kMaxVarintSize);
    const Varint rowId = ReadVarint(page, offset + payloadSize.size, sqlite_format::kMaxVarintSize);
    const std::size_t local = LocalPayloadSize(payloadSize.value, usableSize);
    const std::size_t pointer = local < payloadSize.value ? sqlite_format::kOverflowPointerSize : 0;
    extents.emplace_back(offset, offset + payloadSize.size + rowId.size + local + pointer);
  }
  return extents;
}

}  // namespace

std::vector<Candidate> FindCandidates(Bytes page, const PageHeader& header, const CandidateRules& rules) {
  if (rules.columns == 0 || !header.IsTableLeaf()) return {};
  CandidateList list;
  ScanFreeBlocks(page, header, rules, list);
  ScanBehindLastCell(page, header, rules, list);
  ScanUnallocatedGap(page, header, rules, list);
  ScanStalePointers(page, header, rules, list);

  // Two scans may reach the same record, at the same offset or at one a
  // few bytes off (one scan read a surviving header-size varint, another
  // assumed it lost); the first scan's reading is kept. Bytes of a live
  // cell are that cell's: a record that would reach into one is not a
  // deleted record (a stale pointer or a corrupt free block can point
  // there), or one whose tail a live cell has since overwritten. Two
  // records that overlap cannot both be whole: one was partly written over
  // by the other, and which one is unknown, so neither is kept.
  const auto liveExtents = LiveCellExtents(page, header, rules.usableSize);
  CandidateList kept;
  std::vector<std::pair<std::size_t, std::size_t>> keptExtents;
  for (const Candidate& candidate : list.Items()) {
    if (candidate.offset >= page.size() || kept.HasNear(candidate.offset, kSameRecordDistance)) continue;
    const std::size_t left = page.size() - candidate.offset;
    const std::size_t recordEnd =
        candidate.offset + static_cast<std::size_t>(std::min<std::uint64_t>(
                               RecordSize(page, candidate.offset, 0, left, candidate.columns), left));
    const bool overlapsLiveCell = std::any_of(liveExtents.begin(), liveExtents.end(), [&](const auto& extent) {
      return candidate.offset < extent.second && recordEnd > extent.first;
    });
    if (overlapsLiveCell) continue;
    kept.Add(candidate.offset, candidate.source, candidate.columns);
    keptExtents.emplace_back(candidate.offset, recordEnd);
  }
  std::vector<Candidate> result;
  for (std::size_t i = 0; i < keptExtents.size(); ++i) {
    bool overlaps = false;
    for (std::size_t j = 0; j < keptExtents.size() && !overlaps; ++j)
      overlaps = i != j && keptExtents[i].first < keptExtents[j].second && keptExtents[i].second > keptExtents[j].first;
    if (!overlaps) result.push_back(kept.Items()[i]);
  }
  return result;
}

}  // namespace scrivel::sqlite
