#include "core/sqlite/record.h"

#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

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

std::optional<ColumnValue> ColumnAt(Bytes bytes, const RecordLayout& layout, int column) {
  SerialTypeCursor types{bytes, layout.typesBegin, layout.typesEnd};
  std::size_t valueOffset = layout.valuesBegin;
  std::uint64_t serialType = 0;
  for (int current = layout.firstColumn; types.Next(&serialType); ++current) {
    if (serialType == 10 || serialType == 11) return std::nullopt;
    const std::uint64_t size = SerialTypeValueSize(serialType);
    if (valueOffset > bytes.size() || size > bytes.size() - valueOffset) return std::nullopt;
    if (current == column) return ColumnValue{serialType, bytes.subspan(valueOffset, static_cast<std::size_t>(size))};
    valueOffset += static_cast<std::size_t>(size);
  }
  return std::nullopt;
}

}  // namespace scrivel::sqlite
