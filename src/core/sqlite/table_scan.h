// The one procedure by which every table is read: the live rows of the
// table's b-tree, then the deleted records in the free space of its pages,
// then the pages on the freelist that look like pages of the table. The
// typed decoders (table_decoders.h) and the any-table decoder
// (generic_rows.h) differ only in what they do with each record.
#pragma once

#include <system_error>

#include <cstdint>
#include <string_view>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/candidate_scan.h"
#include "core/sqlite/cell_payload.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

struct RowOrigin {
  std::uint32_t pageIndex = 0;         // page the row was found on (page number - 1)
  RowSource source = RowSource::kCell;
  bool deleted = false;                // rebuilt from free space (anything but a live cell)
  std::size_t columns = 0;             // serial types a deleted-record candidate is read with; 0 for cells
};

// Receives the records of a table in the order of TableScan. The spans
// passed are valid only during the call.
class RowVisitor {
 public:
  virtual ~RowVisitor() = default;
  // A record with its cell header: a live cell, or a cell of a free page.
  virtual void OnCell(const RowOrigin& origin, const CellPayload& cell) = 0;
  // A deleted-record candidate: `bytes` runs from its first serial-type
  // byte to the end of its page; origin.columns is the serial-type count
  // it was recognised with (CandidateRecordLayout), from FewestColumns to
  // CandidateColumns.
  virtual void OnCandidate(const RowOrigin& origin, Bytes bytes) = 0;
  // The serial-type count by which candidates of the table are read (and
  // recognised by the scans); by default the reader's expected column count.
  virtual std::size_t CandidateColumns(SqliteReader& reader);
  // The fewest serial types a record of the table may have (rows written
  // before columns were added); by default CandidateColumns. The scans
  // accept shorter records only where the record's own sizes tell its
  // count (candidate_scan.h).
  virtual std::size_t FewestColumns(SqliteReader& reader) { return CandidateColumns(reader); }
  // The serial-type count that a surviving header-size varint must agree with.
  virtual std::size_t HeaderColumns(SqliteReader& reader) { return CandidateColumns(reader); }
};

// Scans table `name` of the open reader, setting reader.state.currentTable:
//  1. for each root page of the table (ascending), the live cells of its
//     leaf pages (ascending page index), then the candidates of the same
//     pages;
//  2. for each freelist leaf page that is a table leaf whose first cell has
//     from FewestColumns to CandidateColumns serial types (or no cells),
//     its cells and then its candidates, all marked deleted;
//  3. the old records behind the leaf list of each freelist trunk page.
// Rows that repeat a live row of the table (copies SQLite left behind when
// it moved cells) and deleted records holding a value of a kind their
// column cannot hold (by the table's CREATE TABLE) are not handed on. A
// page that cannot be read is passed over. Returns success, kBadFile for a
// reader that is not open, or the code of the last page read that failed.
[[nodiscard]] std::error_code ScanTable(SqliteReader& reader, std::string_view name, RowVisitor& visitor);

// The candidate rules for the reader's current table as `visitor` sees it.
CandidateRules RulesFor(SqliteReader& reader, RowVisitor& visitor);

}  // namespace scrivel::sqlite
