// Rebuilding a freed table leaf cell whose first four bytes a free-block
// header overwrote. Freeing a cell writes, at the cell's first byte:
//
//   OFFSET  SIZE  DESCRIPTION
//        0     2  offset of the next free block (0 = last)
//        2     2  size of this free block
//
// Those four bytes held the start of the cell (sqlite_format.h):
//
//   payload size P: varint, a >= 1 bytes
//   rowid:          varint, r >= 1 bytes (9 for a negative rowid)
//   header size H:  varint, h >= 1 bytes, H = h + bytes of the serial types
//   serial types:   one per column
//   values:         P - H bytes (the part kept on the page, then a 4-byte
//                   overflow page number when P spills)
//
// so the serial types start at p = a + r + h bytes into the cell. The
// rebuilding rule tries, for every table shape (its column count N):
//
//   hypothesis     types start    what survives and must agree
//   first lost     p = 3          a = r = h = 1: column 0's type is lost.
//                                 Its value size L follows from the block
//                                 size (or from the next freed cell in a
//                                 merged block); the types that fit L, its
//                                 varint size and the column (affinity,
//                                 NOT NULL, INTEGER PRIMARY KEY = NULL)
//                                 decide it; several left: the value is
//                                 lost (NULL, partial). When no reading
//                                 at the full count fits: the page's own
//                                 table with fewer columns (a row written
//                                 before ALTER TABLE ADD COLUMN), down to
//                                 the shortest live record of the page
//                                 when that one is short (never below 2),
//                                 and only when the cell fills its block
//                                 exactly
//   types intact   p = 4 .. 14    the bytes of H, P and the rowid that lie
//                                 past byte 3: H equals h + type bytes, the
//                                 rowid's last byte has its top bit clear,
//                                 the ones before it have it set
//
// A reading counts when its lengths add up: the cell (a + r + local
// payload, + 4 when it spilled) ends within the block, and exactly at its
// end (up to 3 bytes of absorbed fragment) or where the next freed cell of
// a merged block begins; and when every value fits its column
// (column_fit.h). A cell longer than its block had its tail overwritten by
// a newer cell: it is read, with the lost values NULL and the row partial,
// only when a byte of its header size survived to confirm the reading and
// at least half its values are whole.
//
// The best-scoring reading wins: confirmed bytes weigh most, then an exact
// fit, then values of their columns' own kind; texts with control
// characters count against. When two readings of different values score
// the same, none is kept: an invented row misleads more than a missing one.
// Two shapes reading the same bytes the same way keep the likelier (the
// earlier in CarveArea::shapes).
#pragma once

#include <cstddef>
#include <optional>

#include "core/sqlite/cell_reading.h"

namespace scrivel::sqlite {

// The freed cell at the start of the free block [blockBegin, blockEnd).
std::optional<CellReading> RebuildFreedCell(const CarveArea& area, std::size_t blockBegin, std::size_t blockEnd);

// When a free-block header an earlier free wrote (and a later merge left
// behind) lies at `offset`: the end of the block it describes, which must
// lie within `end`. Nothing otherwise.
std::optional<std::size_t> LeftoverFreeBlockEnd(const CarveArea& area, std::size_t offset, std::size_t end);

}  // namespace scrivel::sqlite
