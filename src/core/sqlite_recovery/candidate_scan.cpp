#include "core/sqlite_recovery/candidate_scan.h"

#include <algorithm>
#include <utility>

#include "core/sqlite_recovery/cell_payload.h"
#include "core/sqlite_recovery/sqlite_format.h"
#include "core/sqlite_recovery/varint.h"

namespace scrivel::sqlite_recovery {

const char* RowSourceName(RowSource source) {
  switch (source) {
    case RowSource::kCell: return "cell";
    case RowSource::kFreeBlock: return "freeblock";
    case RowSource::kTrailing: return "trailing";
    case RowSource::kGap: return "gap";
    case RowSource::kStalePointer: return "stale-pointer";
    case RowSource::kFreelist: return "freelist";
  }
  return "cell";
}

void CandidateList::Add(std::size_t offset, RowSource source) {
  m_items.push_back({static_cast<std::uint32_t>(offset), source});
}

bool CandidateList::HasNear(std::size_t offset, std::size_t distance) const {
  return std::any_of(m_items.begin(), m_items.end(), [&](const Candidate& c) {
    const std::size_t gap = c.offset > offset ? c.offset - offset : offset - c.offset;
    return gap <= distance;
  });
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
  // assumed it lost); the first scan's reading is kept. Bytes inside a live
  // cell are that cell's, not a deleted record (a stale pointer or a corrupt
  // free block can point there).
  const auto extents = LiveCellExtents(page, header, rules.usableSize);
  CandidateList kept;
  for (const Candidate& candidate : list.Items()) {
    if (candidate.offset >= page.size() || kept.HasNear(candidate.offset, kSameRecordDistance)) continue;
    const bool insideLiveCell = std::any_of(extents.begin(), extents.end(), [&](const auto& extent) {
      return candidate.offset >= extent.first && candidate.offset < extent.second;
    });
    if (!insideLiveCell) kept.Add(candidate.offset, candidate.source);
  }
  std::vector<Candidate> result = std::move(kept.Items());
  return result;
}

}  // namespace scrivel::sqlite_recovery
