// The search for deleted records on one table leaf page. SQLite leaves the
// bytes of a deleted row where they were unless secure_delete is on; what
// changes is their surroundings:
//   - a freed cell inside the content area becomes a free block: its first
//     4 bytes (payload size, rowid, header size, sometimes the first serial
//     types) are overwritten by the block's next-offset and size fields;
//   - a freed cell at the start of the content area joins the unallocated
//     gap whole, as does everything of a page whose cells all went;
//   - the cell pointer array shrinks, leaving stale entries behind its end.
// A candidate is the offset of the first surviving serial-type byte of a
// presumed record; record.h reads it (CandidateRecordLayout) with the
// table's known column count, which is also what recognises a record here.
// A table that gained columns after some of its rows were written also
// holds records with fewer values; where a record's own sizes show how many
// serial types it has (a surviving header size, payload size or free-block
// size), counts down to the table's fewest are accepted too, and the
// candidate carries the count it was recognised with.
//
// Four scans run in this order, each bounded by the page:
//   free blocks      the free-block chain (strictly ascending, so it ends)
//   trailing         the area behind the cell with the highest offset
//   gap              the unallocated space between pointer array and cells
//   stale pointers   cell pointer array entries past the cell count
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/row_source.h"

namespace scrivel::sqlite {

struct CandidateRules {
  std::size_t columns = 0;        // serial types of a record of the table; 0 = unknown, no search
  std::size_t fewestColumns = 0;  // fewest serial types a record may have; 0 (or columns and more) = columns only
  std::size_t headerColumns = 0;  // serial types expected behind a surviving header-size varint
  bool requireMessageGuid = false;// free blocks must show 36 non-zero bytes (the message GUID) at the values
  std::uint32_t usableSize = 0;   // page size minus reserved bytes
};

struct Candidate {
  std::uint32_t offset = 0;  // first serial-type byte, from the page start
  RowSource source = RowSource::kFreeBlock;
  std::size_t columns = 0;   // serial types the record is read with (see CandidateRecordLayout)
};

// True when the rules accept records with fewer serial types than `columns`.
inline bool AcceptsShortRecords(const CandidateRules& rules) {
  return rules.fewestColumns > 0 && rules.fewestColumns < rules.columns;
}

// The fewest serial types a record accepted by the rules has.
inline std::size_t FewestAcceptedColumns(const CandidateRules& rules) {
  return AcceptsShortRecords(rules) ? rules.fewestColumns : rules.columns;
}

// The serial-type count of a record whose serial types start at
// `typesOffset` and take exactly `typeBytes` bytes (known from a surviving
// header size): rules.columns when `expectedTypes` types take that many
// bytes, else, for rules that accept short records, the count from
// rules.fewestColumns up that does. Nothing when no accepted count fits.
std::optional<std::size_t> ColumnsOfTypeArea(Bytes page, std::size_t typesOffset, std::size_t typeBytes,
                                             std::size_t expectedTypes, const CandidateRules& rules);

// Candidates closer than this to one found before are the same record.
inline constexpr std::size_t kSameRecordDistance = 6;

// All candidates of a table leaf page, in scan order, leaving out those
// within kSameRecordDistance of an earlier one, those whose record reaches
// into a live cell and those whose records overlap each other. Empty when
// `rules.columns` is 0 or the page is not a table leaf.
std::vector<Candidate> FindCandidates(Bytes page, const PageHeader& header, const CandidateRules& rules);

// ---- The scans, for candidate_scan.cpp and the tests; clients ignore them. ----

class CandidateList {
 public:
  void Add(std::size_t offset, RowSource source, std::size_t columns);
  // True when a listed candidate lies within `distance` bytes of `offset`.
  bool HasNear(std::size_t offset, std::size_t distance) const;
  std::vector<Candidate>& Items() { return m_items; }

 private:
  std::vector<Candidate> m_items;
};

struct FreeBlockMatch {
  std::size_t candidate = 0;   // first serial-type byte
  std::size_t recordEnd = 0;   // one past the record's last value byte
  std::size_t columns = 0;     // serial types the record was read with
};

// Tests whether the free block at `blockOffset` holds a record of the
// table: its size field is not 0, it ends inside the page, and the record
// that starts behind its 4-byte header (or behind a surviving header-size
// varint) fits into it. Read with rules.columns unless that record does not
// end where the block ends and a shorter accepted count's record does (a
// freed cell that was not merged with its neighbours fills its block).
std::optional<FreeBlockMatch> TestFreeBlock(Bytes page, std::size_t blockOffset, const CandidateRules& rules);

// Walks [begin, end) for deleted records lying one after the other (freed
// cells that joined the gap, or merged into one free block): at each
// position either a freed cell that got a free-block header, or a cell
// whose payload size, rowid and header survived. Moves past each record
// found and one byte on where none is found.
void WalkRecordRun(Bytes page, std::size_t begin, std::size_t end, const CandidateRules& rules, RowSource source,
                   CandidateList& list);

// The first offset in [begin, limit) where a cell of the table starts whose
// payload size, rowid and header survived and whose record ends by `end`;
// nothing when there is none.
std::optional<std::size_t> FindIntactCell(Bytes page, std::size_t begin, std::size_t limit, std::size_t end,
                                          const CandidateRules& rules);

void ScanFreeBlocks(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list);
void ScanBehindLastCell(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list);
void ScanUnallocatedGap(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list);
void ScanStalePointers(Bytes page, const PageHeader& header, const CandidateRules& rules, CandidateList& list);

}  // namespace scrivel::sqlite
