#include "core/sqlite_recovery/record.h"

#include <bit>

#include "core/sqlite_recovery/varint.h"

namespace scrivel::sqlite_recovery {

std::uint64_t SerialTypeValueSize(std::uint64_t serialType) {
  switch (serialType) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 3;
    case 4: return 4;
    case 5: return 6;
    case 6: return 8;
    case 7: return 8;
    case 8:
    case 9:
    case 10:
    case 11: return 0;
    default: return serialType % 2 == 0 ? (serialType - 12) / 2 : (serialType - 13) / 2;
  }
}

bool ColumnValue::IsSmallInteger() const { return (serialType >= 1 && serialType <= 4) || IsConstant(); }

bool ColumnValue::IsInteger() const { return IsSmallInteger() || serialType == 5 || serialType == 6; }

std::int64_t ColumnValue::Integer() const {
  if (IsConstant()) return serialType == 9 ? 1 : 0;
  std::uint64_t value = 0;
  for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
  const unsigned bits = static_cast<unsigned>(bytes.size() * 8);
  if (bits < 64 && (value >> (bits - 1)) & 1) value |= ~std::uint64_t{0} << bits;  // sign-extend
  return static_cast<std::int64_t>(value);
}

std::uint32_t ColumnValue::SmallUnsigned() const {
  if (IsConstant()) return serialType == 9 ? 1 : 0;
  std::uint32_t value = 0;
  for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
  return value;
}

double ColumnValue::Float() const {
  std::uint64_t raw = 0;
  for (const std::uint8_t byte : bytes) raw = (raw << 8) | byte;
  return std::bit_cast<double>(raw);
}

std::string_view ColumnValue::Text() const {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool SerialTypeCursor::Next(std::uint64_t* serialType) {
  if (position >= end) return false;
  const Varint varint = ReadVarint(bytes, position, end - position);
  if (varint.size == 0) return false;
  *serialType = varint.value;
  position += varint.size;
  return true;
}

std::optional<RecordLayout> LiveRecordLayout(Bytes payload) {
  const Varint headerSize = ReadVarint(payload, 0, payload.size());
  if (headerSize.size == 0 || headerSize.value < headerSize.size || headerSize.value > payload.size())
    return std::nullopt;
  RecordLayout layout;
  layout.typesBegin = headerSize.size;
  layout.typesEnd = static_cast<std::size_t>(headerSize.value);
  layout.valuesBegin = layout.typesEnd;
  return layout;
}

std::optional<RecordLayout> CandidateRecordLayout(Bytes bytes, std::size_t typeCount) {
  if (typeCount == 0 || bytes.empty()) return std::nullopt;
  RecordLayout layout;
  if (bytes[0] != 0) {
    layout.firstColumn = 1;
    --typeCount;
  }
  const std::size_t typeBytes = SkipVarints(bytes, 0, typeCount, bytes.size());
  if (typeBytes == 0 && typeCount != 0) return std::nullopt;
  layout.typesEnd = typeBytes;
  layout.valuesBegin = typeBytes;
  return layout;
}

std::optional<RecordLayout> CandidateRecordLayoutByBytes(Bytes bytes, std::size_t typeBytes) {
  if (typeBytes == 0 || bytes.empty()) return std::nullopt;
  RecordLayout layout;
  if (bytes[0] != 0) {
    layout.firstColumn = 1;
    --typeBytes;
  }
  if (typeBytes > bytes.size()) return std::nullopt;
  layout.typesEnd = typeBytes;
  layout.valuesBegin = typeBytes;
  return layout;
}

std::optional<std::size_t> CountSerialTypes(Bytes payload) {
  const auto layout = LiveRecordLayout(payload);
  if (!layout) return std::nullopt;
  SerialTypeCursor types{payload, layout->typesBegin, layout->typesEnd};
  std::size_t count = 0;
  std::uint64_t serialType = 0;
  while (types.Next(&serialType)) ++count;
  return count;
}

}  // namespace scrivel::sqlite_recovery
