#include "core/sqlite/record_normalize.h"

#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

std::size_t VarintSize(std::uint64_t value) {
  // Eight bytes carry 7 bits each; a ninth carries the last 8.
  std::size_t size = 1;
  while (size < 9 && (value >> (7 * size)) != 0) ++size;
  return size;
}

void AppendVarint(std::uint64_t value, std::vector<std::uint8_t>* out) {
  const std::size_t size = VarintSize(value);
  if (size == sqlite_format::kMaxVarintSize) {
    // The first eight bytes carry bits 63..8 seven at a time, the ninth the low 8.
    for (int i = 7; i >= 0; --i) out->push_back(static_cast<std::uint8_t>(0x80 | ((value >> (8 + 7 * i)) & 0x7F)));
    out->push_back(static_cast<std::uint8_t>(value & 0xFF));
    return;
  }
  for (std::size_t i = size; i-- > 1;) out->push_back(static_cast<std::uint8_t>(0x80 | ((value >> (7 * i)) & 0x7F)));
  out->push_back(static_cast<std::uint8_t>(value & 0x7F));
}

void BuildNormalizedRecord(std::span<const ColumnValue> columns, std::vector<std::uint8_t>* out) {
  out->clear();
  std::size_t typeBytes = 0;
  std::size_t valueBytes = 0;
  for (const ColumnValue& column : columns) {
    typeBytes += VarintSize(column.serialType);
    valueBytes += column.bytes.size();
  }
  // The header size counts its own varint, whose length depends on the total.
  std::size_t headerSizeBytes = 1;
  while (VarintSize(typeBytes + headerSizeBytes) > headerSizeBytes) ++headerSizeBytes;
  const std::size_t headerSize = typeBytes + headerSizeBytes;
  out->reserve(headerSize + valueBytes);
  AppendVarint(headerSize, out);
  for (const ColumnValue& column : columns) AppendVarint(column.serialType, out);
  for (const ColumnValue& column : columns) out->insert(out->end(), column.bytes.begin(), column.bytes.end());
}

}  // namespace scrivel::sqlite
