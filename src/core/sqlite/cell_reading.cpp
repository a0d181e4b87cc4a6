#include "core/sqlite/cell_reading.h"

#include <algorithm>

#include "core/sqlite/cell_payload.h"
#include "core/sqlite/column_fit.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Records of lost-and-found cells are read up to this many serial types.
constexpr std::size_t kMinHeaderColumns = 64;
// A payload larger than SQLite's default length limit (10^9 bytes) plus a
// header is no payload size.
constexpr std::uint64_t kMaxPayloadSize = 1'000'100'000;

}  // namespace

CarveArea MakeCarveArea(Bytes page, std::uint32_t usableSize, std::span<const TableShape> shapes, int ownerShape) {
  CarveArea area;
  area.ownerShape = ownerShape < static_cast<int>(shapes.size()) ? ownerShape : -1;
  area.page = page;
  area.end = std::min<std::size_t>(usableSize, page.size());
  area.usableSize = usableSize;
  area.shapes = shapes;
  std::size_t columns = kMinHeaderColumns;
  for (const TableShape& shape : shapes) columns = std::max(columns, shape.columns.size());
  area.maxHeaderSize = columns * fmt::kMaxVarintSize + 3;  // plus a header-size varint of up to 3 bytes
  return area;
}

std::optional<Varint> ReadLongCompleteVarint(Bytes bytes, std::size_t offset, std::size_t end) {
  end = std::min(end, bytes.size());
  if (offset >= end) return std::nullopt;
  const Varint varint = ReadVarint(bytes, offset, std::min(fmt::kMaxVarintSize, end - offset));
  if (varint.size == 0) return std::nullopt;
  // Shorter than nine bytes, a varint ends with a byte whose top bit is clear.
  if (varint.size < fmt::kMaxVarintSize && bytes[offset + varint.size - 1] >= 0x80) return std::nullopt;
  return varint;
}

ShapeFit FitReading(Bytes page, const CellReading& reading, Bytes values, const TableShape& shape) {
  ShapeFit fit;
  // Fewer values than columns: a row written before ALTER TABLE ADD COLUMN
  // (callers decide when to allow it).
  if (static_cast<std::size_t>(reading.columnCount) > shape.columns.size()) return fit;
  bool fits = true;
  const bool complete = VisitReadingColumns(page, reading, values, [&](int column, const ColumnValue* value) {
    if (!value || !fits) return;
    const ColumnFit columnFit = FitOfValue(*value, shape, column);
    if (columnFit == ColumnFit::kNo) {
      fits = false;
      return;
    }
    ++fit.survivingCount;
    if (columnFit == ColumnFit::kTypical) ++fit.typicalCount;
    if (columnFit == ColumnFit::kPossible && !value->IsNull()) ++fit.possibleCount;
    if (!value->bytes.empty()) ++fit.valuesWithBytes;
    if (value->IsText() && HasUnusualControlCharacter(value->bytes)) ++fit.unusualTexts;
  });
  // A reading whose values are all NULL, constants or odd says nothing of
  // the table (zeroed space reads so).
  fit.fits = fits && complete && fit.typicalCount > 0 && fit.valuesWithBytes > 0 && fit.Score() > 0;
  return fit;
}

namespace {

// Texts at least this long speak for a record that fits no table.
constexpr std::size_t kMinLostAndFoundText = 3;

// A record that fits no table is kept only when it looks like data: two
// columns or more, every value whole, every text well-formed without
// control characters, and one text of three characters or more (numbers
// alone turn up in random bytes too often).
bool LooksLikeData(Bytes page, const CellReading& reading, Bytes values) {
  if (reading.columnCount < 2) return false;
  bool hasText = false;
  bool clean = true;
  VisitReadingColumns(page, reading, values, [&](int, const ColumnValue* value) {
    if (!value) {
      clean = false;
      return;
    }
    if (!value->IsText()) return;
    if (FitOfValue(*value, TableShape{}, 0) == ColumnFit::kNo || HasUnusualControlCharacter(value->bytes)) clean = false;
    if (value->bytes.size() >= kMinLostAndFoundText) hasText = true;
  });
  return hasText && clean;
}

}  // namespace

std::optional<CellReading> ReadIntactCell(const CarveArea& area, std::size_t offset, std::size_t end, bool lostAndFound) {
  const Bytes page = area.page;
  end = std::min(end, area.end);
  const auto payloadSize = ReadCompleteVarint(page, offset, end);
  if (!payloadSize || payloadSize->value < 2 || payloadSize->value > kMaxPayloadSize) return std::nullopt;
  const auto rowId = ReadCompleteVarint(page, offset + payloadSize->size, end);
  if (!rowId) return std::nullopt;
  const std::size_t headerOffset = offset + payloadSize->size + rowId->size;
  const auto headerSize = ReadCompleteVarint(page, headerOffset, end);
  // "header size: varint, counting itself", then at least one serial type.
  if (!headerSize || headerSize->value <= headerSize->size || headerSize->value > payloadSize->value ||
      headerSize->value > area.maxHeaderSize)
    return std::nullopt;
  CellReading reading;
  reading.cellBegin = offset;
  reading.payloadSize = payloadSize->value;
  reading.rowId = static_cast<std::int64_t>(rowId->value);
  reading.typesBegin = headerOffset + headerSize->size;
  reading.typesEnd = headerOffset + static_cast<std::size_t>(headerSize->value);
  if (reading.typesEnd > end) return std::nullopt;

  // The serial types must end exactly at the header's end and account for
  // every byte of the payload.
  std::uint64_t valueBytes = 0;
  for (std::size_t position = reading.typesBegin; position < reading.typesEnd; ++reading.columnCount) {
    const auto serialType = ReadCompleteVarint(page, position, reading.typesEnd);
    if (!serialType || serialType->value == fmt::kSerialReserved10 || serialType->value == fmt::kSerialReserved11)
      return std::nullopt;
    valueBytes += SerialTypeValueSize(serialType->value);
    if (headerSize->value + valueBytes > payloadSize->value) return std::nullopt;  // the values outgrow the payload
    position += serialType->size;
  }
  if (headerSize->value + valueBytes != payloadSize->value) return std::nullopt;

  const std::size_t localSize = LocalPayloadSize(payloadSize->value, area.usableSize);
  if (localSize < headerSize->value) return std::nullopt;
  reading.valuesBegin = reading.typesEnd;
  reading.localEnd = headerOffset + localSize;
  reading.spilled = localSize < payloadSize->value;
  reading.cellEnd = reading.localEnd + (reading.spilled ? fmt::kOverflowPointerSize : 0);
  if (reading.cellEnd <= end) {
    reading.survivingEnd = reading.localEnd;
    if (reading.spilled) reading.firstOverflowPage = *Read32(page, reading.localEnd);  // inside: cellEnd <= end
  } else {
    reading.survivingEnd = end;
  }
  const Bytes values = page.subspan(reading.valuesBegin, std::min(reading.survivingEnd, reading.localEnd) - reading.valuesBegin);

  int bestScore = 0;
  for (std::size_t s = 0; s < area.shapes.size(); ++s) {
    const TableShape& shape = area.shapes[s];
    if (shape.withoutRowId) continue;
    const bool owner = static_cast<int>(s) == area.ownerShape;
    // Only the page's own table is read with columns missing at the end,
    // and only from whole records with two values or more.
    const auto missing = static_cast<int>(shape.columns.size()) - reading.columnCount;
    if (missing != 0 && !(owner && !reading.IsCut() && reading.columnCount >= 2)) continue;
    const ShapeFit fit = FitReading(page, reading, values, shape);
    if (!fit.fits) continue;
    if (reading.IsCut() && fit.survivingCount * 2 < reading.columnCount) continue;
    const int score = fit.Score() + (owner ? kOwnerShapeScore : 0) + kMissingColumnScore * missing;
    if (reading.shape < 0 || score > bestScore) {
      reading.shape = static_cast<int>(s);
      bestScore = score;
    }
  }
  reading.score = bestScore;
  if (reading.shape >= 0) return reading;
  if (!lostAndFound || reading.IsCut() || !LooksLikeData(page, reading, values)) return std::nullopt;
  return reading;
}

}  // namespace scrivel::sqlite
