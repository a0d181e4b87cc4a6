// One reading of a freed table leaf cell found in a page's free space:
// where its surviving serial types and values lie, what was lost, and how
// well it fits a table. Readings are plain values built without heap
// memory, so the search can weigh many of them per free block; only the
// accepted one becomes a record (record_normalize.h).
//
// The cell as it was written (layout in sqlite_format.h):
//
//   cellBegin
//   |  payload size varint | rowid varint | header size varint | serial types | values ... | overflow page (4)
//                                                               ^typesBegin   ^valuesBegin  ^localEnd         ^cellEnd
//
// When column 0's serial type was overwritten (freed_cell_rebuild.h),
// `typesBegin` is the type of column 1 and `lost` tells what column 0 was
// rebuilt to. Bytes from `survivingEnd` on were overwritten by newer data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/record.h"
#include "core/sqlite/schema.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

// The smallest cell: payload size, rowid, header size, one serial type.
inline constexpr std::size_t kMinCellSize = 4;

// The page being searched and the tables whose records may lie on it.
struct CarveArea {
  Bytes page;                          // the page image
  std::size_t end = 0;                 // one past the last usable byte (the usable size, at most page.size())
  std::uint32_t usableSize = 0;
  std::span<const TableShape> shapes;
  std::size_t maxHeaderSize = 0;       // largest record header the search reads
  int ownerShape = -1;                 // the shape of the table whose b-tree holds the page; -1: unknown
  // Varint sizes of the smallest and largest rowid of the page's live
  // cells (a leaf holds one key range, so a freed cell's rowid is most
  // likely as long); 0 when the page has no live cell.
  std::size_t rowIdSizeMin = 0;
  std::size_t rowIdSizeMax = 0;
  // Serial types of the shortest live record of the page (a row written
  // before ALTER TABLE ADD COLUMN is shorter); 0 when the page has none.
  std::size_t liveColumnsMin = 0;
};

// CarveArea for `page`: the bound on header sizes follows from the widest
// table (9 bytes per serial type at most), and is at least wide enough for
// small lost-and-found records.
CarveArea MakeCarveArea(Bytes page, std::uint32_t usableSize, std::span<const TableShape> shapes, int ownerShape);

// Column 0's serial type when the free-block header overwrote it.
struct LostFirstType {
  bool lost = false;          // column 0's type was overwritten
  bool known = false;         // ... and only one type fits the value's size and the column
  std::uint64_t serialType = 0;
  std::size_t valueSize = 0;  // bytes of column 0's value (known from the cell's size)
};

struct CellReading {
  int shape = -1;                  // index into CarveArea::shapes; -1: fits none
  int columnCount = 0;             // serial types of the record, a lost one included
  std::size_t cellBegin = 0;
  std::size_t cellEnd = 0;         // one past the cell's bytes (its overflow page number included)
  std::uint64_t payloadSize = 0;
  std::optional<std::int64_t> rowId;  // when every byte of the rowid varint survived
  std::size_t typesBegin = 0;
  std::size_t typesEnd = 0;
  LostFirstType lost;
  std::size_t valuesBegin = 0;
  std::size_t localEnd = 0;        // one past the payload bytes kept on the page
  std::uint32_t firstOverflowPage = 0;  // 0 when the payload did not spill (or the number was lost)
  bool spilled = false;
  std::size_t survivingEnd = 0;    // one past the last byte not overwritten
  int score = 0;                   // higher fits better (freed_cell_rebuild.cpp)

  bool IsCut() const { return survivingEnd < localEnd; }
};

// Calls `visit(column, value)` for each column of `reading` in order, with
// `value` null when the value was lost (an unknown first type, or bytes
// past the end of `values`). `values` holds the record's value bytes from
// column 0's value on (on the page, or joined with overflow pages).
// Returns false when a serial type is reserved.
template <typename Visit>
bool VisitReadingColumns(Bytes page, const CellReading& reading, Bytes values, Visit&& visit);

// Added to the score of a reading as the table whose b-tree holds the page:
// a freed cell of a leaf page most likely held a row of that table.
inline constexpr int kOwnerShapeScore = 8;
// Added for each column a record lacks (a row written before ALTER TABLE
// ADD COLUMN, read only for the page's own table).
inline constexpr int kMissingColumnScore = -4;

// How a reading's values fit one table.
struct ShapeFit {
  bool fits = false;      // every surviving value can belong to its column, and they speak for it (Score() > 0)
  int typicalCount = 0;   // values of their column's own kind (an INTEGER PRIMARY KEY's NULL included)
  int possibleCount = 0;  // values other than NULL that the column can hold though not of its kind
  int survivingCount = 0; // values read whole
  int unusualTexts = 0;   // texts with control characters (see column_fit.h)
  int valuesWithBytes = 0; // values other than NULL and the constants 0 and 1

  // How well the values speak for the table: values of the column's kind
  // count for it, others and odd texts against.
  int Score() const { return 2 * (typicalCount - possibleCount) - 6 * unusualTexts; }
};
ShapeFit FitReading(Bytes page, const CellReading& reading, Bytes values, const TableShape& shape);

// A varint that ends before `end` (at most 9 bytes); nothing when it runs
// past `end`. (Inline for the one-byte case: the carver asks at every
// offset of the free space.)
std::optional<Varint> ReadLongCompleteVarint(Bytes bytes, std::size_t offset, std::size_t end);
inline std::optional<Varint> ReadCompleteVarint(Bytes bytes, std::size_t offset, std::size_t end) {
  if (offset < end && offset < bytes.size() && bytes[offset] < 0x80) return Varint{bytes[offset], 1};
  return ReadLongCompleteVarint(bytes, offset, end);
}

// Reads a freed cell at `offset` whose payload size, rowid and header size
// survived (in the gap, behind the last cell, in a merged free block, on a
// freelist trunk page), bounded by `end`. The header must be consistent:
// the payload size equals the header size plus the sizes its serial types
// give. The cell's shape is the best-fitting table with that many columns
// (or, for the page's own table, fewer: a row written before ALTER TABLE
// ADD COLUMN, its record kept as short as it was);
// with `lostAndFound` a consistent record that fits none is read with
// shape -1 when it looks like data (two columns or more, texts without
// control characters, one of them three characters long or more). A cell cut
// by `end` is read when its header lies before `end` and it fits a table
// with at least half its values whole.
std::optional<CellReading> ReadIntactCell(const CarveArea& area, std::size_t offset, std::size_t end, bool lostAndFound);

// ---- Implementation details below; clients ignore them. ----

template <typename Visit>
bool VisitReadingColumns(Bytes page, const CellReading& reading, Bytes values, Visit&& visit) {
  std::size_t valueOffset = 0;
  int column = 0;
  if (reading.lost.lost) {
    const std::size_t size = reading.lost.valueSize;
    if (reading.lost.known && HasBytes(values, 0, size)) {
      const ColumnValue value{reading.lost.serialType, values.subspan(0, size)};
      visit(0, &value);
    } else {
      visit(0, static_cast<const ColumnValue*>(nullptr));
    }
    valueOffset = size;
    column = 1;
  }
  SerialTypeCursor types{page, reading.typesBegin, reading.typesEnd};
  std::uint64_t serialType = 0;
  while (types.Next(&serialType)) {
    if (serialType == 10 || serialType == 11) return false;
    const std::uint64_t size = SerialTypeValueSize(serialType);
    if (valueOffset <= values.size() && size <= values.size() - valueOffset) {
      const ColumnValue value{serialType, values.subspan(valueOffset, static_cast<std::size_t>(size))};
      visit(column, &value);
      valueOffset += static_cast<std::size_t>(size);
    } else {
      visit(column, static_cast<const ColumnValue*>(nullptr));
      valueOffset = values.size() + 1;  // every later value is lost too
    }
    ++column;
  }
  return types.position == types.end;
}

}  // namespace scrivel::sqlite
