// Records (the payload of a table cell, layout in sqlite_format.h): the
// serial types and the values they describe. Serial types:
//
//   type        value bytes     meaning
//   0           0               NULL
//   1 2 3 4     1 2 3 4         big-endian two's-complement integer
//   5 6         6 8             big-endian two's-complement integer
//   7           8               big-endian IEEE-754 double
//   8 9         0               the integers 0 and 1
//   10 11       -               reserved, never written: not a record
//   even >= 12  (t - 12) / 2    blob
//   odd >= 13   (t - 13) / 2    text (UTF-8 here)
//
// A record is read either from a live cell (its header-size varint leads)
// or from a deleted-record candidate, whose header size is gone and whose
// serial types are counted by the table's known column count.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

// Bytes of the value of serial type `serialType` (0 for the reserved types).
// Inline: it runs once per value of every record.
inline std::uint64_t SerialTypeValueSize(std::uint64_t serialType) {
  constexpr std::uint8_t kFixedSizes[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};  // types 0 to 11
  if (serialType < 12) return kFixedSizes[serialType];
  return (serialType - 12) / 2;  // blob (even) or text (odd, (t - 13) / 2 rounds to the same)
}

// One column of a record. `bytes` points into the record's buffer.
struct ColumnValue {
  std::uint64_t serialType = 0;
  Bytes bytes;

  bool IsNull() const { return serialType == 0; }
  // Integers stored in 1 to 4 bytes, or as the constants 0 and 1.
  bool IsSmallInteger() const { return (serialType >= 1 && serialType <= 4) || IsConstant(); }
  // Any integer: 1 to 8 bytes, or a constant.
  bool IsInteger() const { return IsSmallInteger() || serialType == 5 || serialType == 6; }
  bool IsConstant() const { return serialType == 8 || serialType == 9; }
  bool IsFloat() const { return serialType == 7; }
  bool IsText() const { return serialType >= 13 && serialType % 2 == 1; }
  bool IsBlob() const { return serialType >= 12 && serialType % 2 == 0; }

  // REQUIRES: IsInteger(). The value, sign-extended.
  std::int64_t Integer() const {
    if (IsConstant()) return serialType == 9 ? 1 : 0;
    const std::uint64_t value = BigEndianBits();
    const unsigned bits = static_cast<unsigned>(bytes.size() * 8);
    if (bits < 64 && (value >> (bits - 1)) & 1) return static_cast<std::int64_t>(value | ~std::uint64_t{0} << bits);
    return static_cast<std::int64_t>(value);
  }
  // REQUIRES: IsSmallInteger(). The stored bytes without sign extension.
  std::uint32_t SmallUnsigned() const {
    if (IsConstant()) return serialType == 9 ? 1 : 0;
    return static_cast<std::uint32_t>(BigEndianBits());
  }
  // REQUIRES: IsFloat().
  double Float() const { return std::bit_cast<double>(BigEndianBits()); }
  // REQUIRES: IsText().
  std::string_view Text() const { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

 private:
  // The value bytes (at most 8) as a big-endian unsigned number.
  std::uint64_t BigEndianBits() const {
    std::uint64_t value = 0;
    for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
    return value;
  }
};

// Where the serial types and the values of one record lie in a buffer.
struct RecordLayout {
  std::size_t typesBegin = 0;  // first serial-type byte
  std::size_t typesEnd = 0;    // one past the last serial-type byte
  std::size_t valuesBegin = 0; // first value byte
  int firstColumn = 0;         // column number of the first serial type (1 when column 0's type is lost)
};

// The layout of a live record: `payload` starts with the header-size
// varint. Nothing when the header size is 0 or does not fit the payload.
std::optional<RecordLayout> LiveRecordLayout(Bytes payload);

// The layout of a deleted-record candidate: `bytes` starts at its first
// serial type. When that byte is 0 (the NULL that an integer primary key
// stores) the record starts at column 0 with `typeCount` serial types;
// otherwise column 0's type is taken to be lost (overwritten by the free
// block header) and the record starts at column 1 with `typeCount` - 1.
// Nothing when `typeCount` is 0 or the types run past the end.
std::optional<RecordLayout> CandidateRecordLayout(Bytes bytes, std::size_t typeCount);

// The same with the serial-type area given in bytes (`typeBytes`, one less
// when the first byte is not 0) instead of a count of types.
std::optional<RecordLayout> CandidateRecordLayoutByBytes(Bytes bytes, std::size_t typeBytes);

// Calls `visit(columnNumber, value)` for each column of the record, in
// order, and stores the offset one past its last value byte in
// `*valuesEnd` when given. Returns false (after visiting the columns
// before it) when a serial type is reserved or a value runs past the end
// of `bytes`; such bytes are not a record.
template <typename Visit>
bool ForEachColumn(Bytes bytes, const RecordLayout& layout, Visit&& visit, std::size_t* valuesEnd = nullptr);

// The value of column `column` alone, found by walking the serial types
// before it; nothing when the record has no such column or is malformed
// up to it.
std::optional<ColumnValue> ColumnAt(Bytes bytes, const RecordLayout& layout, int column);

// Number of serial types in the header of a live record; nothing when the
// header is malformed.
std::optional<std::size_t> CountSerialTypes(Bytes payload);

// ---- Implementation details below; clients ignore them. ----

struct SerialTypeCursor {
  Bytes bytes;
  std::size_t position;
  std::size_t end;
  // Next serial type; false at the end or when a varint runs past the end.
  bool Next(std::uint64_t* serialType) {
    if (position >= end) return false;
    const Varint varint = ReadVarint(bytes, position, end - position);
    if (varint.size == 0) return false;
    *serialType = varint.value;
    position += varint.size;
    return true;
  }
};

template <typename Visit>
bool ForEachColumn(Bytes bytes, const RecordLayout& layout, Visit&& visit, std::size_t* valuesEnd) {
  SerialTypeCursor types{bytes, layout.typesBegin, layout.typesEnd};
  std::size_t valueOffset = layout.valuesBegin;
  int column = layout.firstColumn;
  std::uint64_t serialType = 0;
  while (types.Next(&serialType)) {
    if (serialType == 10 || serialType == 11) return false;
    const std::uint64_t size = SerialTypeValueSize(serialType);
    if (valueOffset > bytes.size() || size > bytes.size() - valueOffset) return false;
    visit(column, ColumnValue{serialType, bytes.subspan(valueOffset, static_cast<std::size_t>(size))});
    valueOffset += static_cast<std::size_t>(size);
    ++column;
  }
  if (valuesEnd) *valuesEnd = valueOffset;
  return types.position == types.end;
}

}  // namespace scrivel::sqlite
