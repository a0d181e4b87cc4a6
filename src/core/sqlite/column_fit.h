// Whether a value read from a deleted record can belong to a declared
// column. The values SQLite stores follow from the column's affinity:
//
//   affinity   holds                                 never holds
//   TEXT       NULL, text, blob                      integers, reals (turned into text)
//   INTEGER    NULL, integers, non-integral reals,   blobs, integral reals (turned into
//              text that is not a number             integers)
//   NUMERIC    NULL, integers, non-integral reals,   as INTEGER
//              text that is not a number
//   REAL       NULL, reals, integers (integral       blobs
//              reals are stored so), text
//   BLOB/none  anything
//
// and from the constraints: an INTEGER PRIMARY KEY column stores NULL (the
// value is the rowid), a NOT NULL column never holds NULL. Texts must be
// well-formed UTF-8 without NUL characters.
#pragma once

#include "core/sqlite/record.h"
#include "core/sqlite/schema.h"

namespace scrivel::sqlite {

enum class ColumnFit {
  kNo,       // the column cannot hold this value
  kPossible, // it can, though the value is not of the column's own kind
  kTypical,  // the column's own kind (an integer in an INTEGER column, ...)
};

// How well `value` fits column `column` (< shape.columns.size()) of `shape`.
ColumnFit FitOfValue(const ColumnValue& value, const TableShape& shape, int column);

// True when a text value holds a control character other than tab, line
// feed and carriage return: rare in real text, common when a reading is
// shifted onto serial types or lengths.
bool HasUnusualControlCharacter(Bytes text);

}  // namespace scrivel::sqlite
