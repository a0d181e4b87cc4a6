// The search for deleted records in the free space of one page image, for
// any table: the engine hands it the page and the shapes of the tables whose
// records may lie there, and gets back rebuilt records.
//
// Each carved record comes back normalized: a complete SQLite record
// (header-size varint, serial types, values) that record.h's
// LiveRecordLayout reads like a live one. Values lost to overwriting are
// NULL in it and the record is marked partial.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/row_source.h"
#include "core/sqlite/schema.h"

namespace scrivel::sqlite {

// Reads freed overflow pages for a deleted record whose payload spilled.
class OverflowPages {
 public:
  virtual ~OverflowPages() = default;
  // The image of page number `pageNumber` when that page is free (on the
  // freelist and used by no live b-tree), so that it may still hold the
  // freed record's overflow; nothing otherwise.
  virtual std::optional<Bytes> FreePage(std::uint32_t pageNumber) = 0;
};

struct CarveInput {
  Bytes page;                        // the whole page image (page size bytes)
  std::uint32_t pageNumber = 0;      // 1-based; page 1 has its b-tree header at offset 100
  std::uint32_t usableSize = 0;      // page size minus the reserved bytes
  std::span<const TableShape> shapes;  // the tables whose records may lie here, the likeliest first
  int ownerShape = 0;                // index into shapes of the table whose b-tree holds the page; -1: unknown
  OverflowPages* overflow = nullptr; // null: spilled records are reported with their local part only
};

struct CarvedRecord {
  std::uint32_t offset = 0;           // page offset where the freed cell (or its surviving part) starts
  RowSource source = RowSource::kFreeBlock;  // kFreeBlock, kGap, kTrailing, kStalePointer, kFreelistTrunk, kOverflow
  int shape = -1;                     // index into CarveInput::shapes; -1: fits none, header intact (lost and found)
  bool partial = false;               // some values lost (NULL here) or an overflow tail missing
  std::optional<std::int64_t> rowId;  // when the cell's rowid survived
  std::vector<std::uint8_t> record;   // the normalized record
};

// Deleted records in the free space of a b-tree leaf page (free blocks,
// several freed cells merged into one block, the unallocated gap, the area
// behind the last cell, stale cell pointers). Appends to `out`.
void CarveLeafPage(const CarveInput& input, const PageHeader& header, std::vector<CarvedRecord>* out);

// Deleted records behind the leaf list of a freelist trunk page (its first
// 8 bytes and the leaf list overwrote the start of what the page held).
// When the page was a table leaf, the surviving entries of its cell pointer
// array name its cells, and the table most of them fit is taken as the
// page's own (its short rows are read too); `input.ownerShape` is not used.
void CarveTrunkPage(const CarveInput& input, std::vector<CarvedRecord>* out);

}  // namespace scrivel::sqlite
