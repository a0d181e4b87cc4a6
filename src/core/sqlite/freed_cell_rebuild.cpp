#include "core/sqlite/freed_cell_rebuild.h"

#include <algorithm>
#include <array>

#include "core/sqlite/cell_payload.h"
#include "core/sqlite/column_fit.h"
#include "core/sqlite/record_normalize.h"
#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

namespace {

// Bytes of the cell the free-block header overwrote.
constexpr std::size_t kOverwrittenSize = fmt::kFreeBlockHeaderSize;
// Types start at most this far into the cell: a payload size of up to 3
// bytes (2 MiB), a rowid of up to 9 and a header size of up to 2.
constexpr std::size_t kMaxTypesStart = 14;
// Payload sizes below this take one varint byte.
constexpr std::uint64_t kOneByteVarintEnd = 0x80;

// Score weights (see the rule in the header).
constexpr int kConfirmedByteScore = 16;     // a byte of H or P that survived and agrees
constexpr int kRowIdByteScore = 2;          // a rowid byte whose top bit agrees
constexpr int kExactFitScore = 24;          // the cell ends where the block ends
constexpr int kFragmentFitScore = 12;       // ... or 1 to 3 bytes (an absorbed fragment) before
constexpr int kNextCellFitScore = 16;       // ... or where the next freed cell of a merged block begins
constexpr int kRowIdSizeScore = -8;        // a rowid longer or shorter than the live ones of the page
constexpr int kInferredFirstTypeScore = -2; // column 0's type was inferred, not read
constexpr int kLostFirstValueScore = -4;    // ... and could not be told
constexpr int kCutScore = -8;               // the tail was overwritten

// A row written before ALTER TABLE ADD COLUMN is read with two columns at least.
constexpr std::size_t kMinShortRecordColumns = 2;

// Byte `index` of the `size`-byte varint encoding of `value` (size <= 8).
std::uint8_t VarintByte(std::uint64_t value, std::size_t size, std::size_t index) {
  const auto bits = static_cast<std::uint8_t>((value >> (7 * (size - 1 - index))) & 0x7F);
  return index + 1 < size ? static_cast<std::uint8_t>(bits | 0x80) : bits;
}

// Sum of the value sizes of the serial types in [begin, end); nothing when
// one is reserved.
std::optional<std::uint64_t> ValueBytes(Bytes page, std::size_t begin, std::size_t end) {
  SerialTypeCursor types{page, begin, end};
  std::uint64_t total = 0;
  std::uint64_t serialType = 0;
  while (types.Next(&serialType)) {
    if (serialType == fmt::kSerialReserved10 || serialType == fmt::kSerialReserved11) return std::nullopt;
    total += SerialTypeValueSize(serialType);
  }
  return total;
}

// The bytes of the first `count` serial types from `begin` and of their
// values, while header and values together stay below `limit` bytes.
// Nothing when a type runs past `end` or is reserved, or when the sum
// reaches `limit`: a wide record is given up at its first long value.
struct TypeSpan {
  std::size_t typeBytes = 0;
  std::uint64_t valueBytes = 0;
};
std::optional<TypeSpan> TypesWithin(Bytes page, std::size_t begin, std::size_t count, std::size_t end, std::uint64_t limit) {
  SerialTypeCursor types{page, begin, std::min(end, page.size())};
  TypeSpan span;
  std::uint64_t serialType = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t before = types.position;
    if (!types.Next(&serialType)) return std::nullopt;
    // Shorter than nine bytes, a varint ends with a byte whose top bit is clear.
    if (types.position - before < fmt::kMaxVarintSize && page[types.position - 1] >= 0x80) return std::nullopt;
    if (serialType == fmt::kSerialReserved10 || serialType == fmt::kSerialReserved11) return std::nullopt;
    span.typeBytes = types.position - begin;
    span.valueBytes += SerialTypeValueSize(serialType);
    if (span.typeBytes + span.valueBytes >= limit) return std::nullopt;
  }
  return span;
}

bool SameRecord(const CellReading& a, const CellReading& b) {
  return a.typesBegin == b.typesBegin && a.typesEnd == b.typesEnd && a.cellEnd == b.cellEnd &&
         a.lost.lost == b.lost.lost && a.lost.known == b.lost.known && a.lost.serialType == b.lost.serialType &&
         a.lost.valueSize == b.lost.valueSize;
}

// Column 0's serial type when only its value size `valueSize` is known,
// and, for a two-byte type, the low seven bits in `lowBits`.
LostFirstType ResolveLostType(std::size_t valueSize, std::size_t typeSize, std::uint8_t lowBits, Bytes value,
                              const TableShape& shape, bool* possible) {
  std::array<std::uint64_t, 7> candidates{};
  std::size_t count = 0;
  if (valueSize == 0) {
    for (const std::uint64_t type : {fmt::kSerialNull, fmt::kSerialZero, fmt::kSerialOne}) candidates[count++] = type;
  }
  switch (valueSize) {
    case 1: case 2: case 3: case 4: candidates[count++] = valueSize; break;  // integers of 1 to 4 bytes
    case 6: candidates[count++] = fmt::kSerialInt48; break;
    case 8:
      candidates[count++] = fmt::kSerialInt64;
      candidates[count++] = fmt::kSerialFloat64;
      break;
    default: break;
  }
  candidates[count++] = fmt::kSerialFirstBlob + 2 * valueSize;
  candidates[count++] = fmt::kSerialFirstText + 2 * valueSize;

  LostFirstType result;
  result.lost = true;
  result.valueSize = valueSize;
  ColumnFit bestFit = ColumnFit::kNo;
  std::size_t bestCount = 0;
  bool bestHasText = false;
  bool bestHasBlob = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t type = candidates[i];
    if (VarintSize(type) != typeSize || (typeSize == 2 && (type & 0x7F) != lowBits)) continue;
    const ColumnFit fit = FitOfValue(ColumnValue{type, value}, shape, 0);
    if (fit == ColumnFit::kNo || fit < bestFit) continue;
    if (fit > bestFit) {
      bestFit = fit;
      bestCount = 0;
      bestHasText = bestHasBlob = false;
    }
    ++bestCount;
    const ColumnValue typed{type, value};
    bestHasText = bestHasText || typed.IsText();
    bestHasBlob = bestHasBlob || typed.IsBlob();
    if (bestCount == 1 || typed.IsText()) result.serialType = type;
  }
  // The same bytes as text or blob: they read as text.
  if (bestHasText && bestHasBlob) --bestCount;
  *possible = bestCount > 0;
  result.known = bestCount == 1;
  if (!result.known) result.serialType = fmt::kSerialNull;
  return result;
}

// Weighs every reading of one free block and keeps the best.
class FreedCellSearch {
 public:
  FreedCellSearch(const CarveArea& area, std::size_t blockBegin, std::size_t blockEnd)
      : m_area(area), m_page(area.page), m_begin(blockBegin), m_end(blockEnd) {}

  std::optional<CellReading> Run() {
    for (std::size_t s = 0; s < m_area.shapes.size(); ++s) {
      const TableShape& shape = m_area.shapes[s];
      if (shape.columns.empty() || shape.withoutRowId) continue;
      for (std::size_t typeSize = 1; typeSize <= 2; ++typeSize)
        TryFirstTypeLost(static_cast<int>(s), typeSize, shape.columns.size());
      for (std::size_t headerSizeBytes = 1; headerSizeBytes <= 2; ++headerSizeBytes)
        for (std::size_t typesStart = kOverwrittenSize; typesStart <= kMaxTypesStart; ++typesStart)
          TryTypesIntact(static_cast<int>(s), typesStart, headerSizeBytes);
    }
    // Only when no reading at the full column count fits: the page's own
    // table with columns missing, its first type lost.
    if (!m_best && m_area.ownerShape >= 0) {
      const int owner = m_area.ownerShape;
      const TableShape& shape = m_area.shapes[static_cast<std::size_t>(owner)];
      if (!shape.columns.empty() && !shape.withoutRowId)
        for (std::size_t columns = shape.columns.size() - 1; columns >= FewestOwnerColumns(shape.columns.size()); --columns)
          for (std::size_t typeSize = 1; typeSize <= 2; ++typeSize) TryFirstTypeLost(owner, typeSize, columns);
    }
    if (!m_best || m_tied) return std::nullopt;
    return m_best;
  }

 private:
  // The fewest columns a row of the page's own table written before ALTER
  // TABLE ADD COLUMN is read with: as many as the shortest live record of
  // the page holds, when that one is short (rows of one table written
  // before the change sit side by side); never below two. Without such a
  // record, only the declared count: guessing a shorter count invents rows.
  std::size_t FewestOwnerColumns(std::size_t declared) const {
    if (m_area.liveColumnsMin == 0 || m_area.liveColumnsMin >= declared) return declared;
    return std::max(m_area.liveColumnsMin, kMinShortRecordColumns);
  }

  // Types start at byte 3: payload size, rowid and header size took one
  // byte each and column 0's type (1 or 2 bytes) began at byte 3. The
  // record holds `columnCount` columns; fewer than its shape declares, it
  // counts only when it fills its block exactly.
  void TryFirstTypeLost(int shapeIndex, std::size_t typeSize, std::size_t columnCount) {
    const TableShape& shape = m_area.shapes[static_cast<std::size_t>(shapeIndex)];
    const std::size_t missing = shape.columns.size() - columnCount;
    const std::size_t typesBegin = m_begin + kOverwrittenSize + (typeSize - 1);
    std::uint8_t lowBits = 0;
    if (typeSize == 2) {
      if (m_begin + kOverwrittenSize >= m_end) return;
      lowBits = m_page[m_begin + kOverwrittenSize];  // inside: checked against m_end above
      if (lowBits >= 0x80) return;
    }
    // The one-byte payload size holds the whole record: header and known
    // values stay below 128 bytes.
    const auto known = TypesWithin(m_page, typesBegin, columnCount - 1, m_end, kOneByteVarintEnd - 1 - typeSize);
    if (!known) return;
    const std::size_t knownTypeBytes = known->typeBytes;
    const std::size_t headerSize = 1 + typeSize + knownTypeBytes;
    const std::uint64_t fixedPayload = headerSize + known->valueBytes;

    CellReading reading;
    reading.shape = shapeIndex;
    reading.columnCount = static_cast<int>(columnCount);
    reading.cellBegin = m_begin;
    reading.typesBegin = typesBegin;
    reading.typesEnd = typesBegin + knownTypeBytes;
    reading.valuesBegin = reading.typesEnd;
    const int missingScore = kMissingColumnScore * static_cast<int>(missing);
    // The cell is 2 + P bytes (one-byte payload size and rowid); it fills
    // the block, perhaps with a fragment of up to 3 bytes absorbed.
    const std::size_t blockSize = m_end - m_begin;
    const std::size_t maxSlack = missing == 0 ? 3 : 0;
    for (std::size_t slack = 0; slack <= maxSlack && slack + 2 + fixedPayload <= blockSize; ++slack) {
      const std::uint64_t valueSize = blockSize - slack - 2 - fixedPayload;
      TryLostValueSize(reading, shape, typeSize, lowBits, static_cast<std::size_t>(valueSize),
                       (slack == 0 ? kExactFitScore : kFragmentFitScore) + missingScore);
    }
    if (missing > 0) return;
    // In a merged block the cell ends where the next freed cell begins.
    for (std::uint64_t valueSize = 0; fixedPayload + valueSize < kOneByteVarintEnd; ++valueSize) {
      const std::uint64_t cellEnd = m_begin + 2 + fixedPayload + valueSize;
      if (cellEnd + kMinCellSize > m_end) break;
      if (NextFreedCellAt(static_cast<std::size_t>(cellEnd)))
        TryLostValueSize(reading, shape, typeSize, lowBits, static_cast<std::size_t>(valueSize), kNextCellFitScore);
    }
  }

  void TryLostValueSize(CellReading reading, const TableShape& shape, std::size_t typeSize, std::uint8_t lowBits,
                        std::size_t valueSize, int fitScore) {
    const std::size_t headerSize = 1 + typeSize + (reading.typesEnd - reading.typesBegin);
    const std::uint64_t payloadSize = headerSize + valueSize + *ValueBytes(m_page, reading.typesBegin, reading.typesEnd);
    if (payloadSize >= kOneByteVarintEnd) return;
    reading.payloadSize = payloadSize;
    reading.localEnd = reading.cellEnd = reading.survivingEnd = m_begin + 2 + static_cast<std::size_t>(payloadSize);
    if (reading.localEnd > m_end || reading.valuesBegin + valueSize > reading.localEnd) return;
    bool possible = false;
    reading.lost = ResolveLostType(valueSize, typeSize, lowBits, m_page.subspan(reading.valuesBegin, valueSize), shape,
                                   &possible);
    if (!possible) return;
    const Bytes values = m_page.subspan(reading.valuesBegin, reading.localEnd - reading.valuesBegin);
    const ShapeFit fit = FitReading(m_page, reading, values, shape);
    if (!fit.fits) return;
    reading.score = fitScore + fit.Score() + ShapeScore(reading.shape) + kInferredFirstTypeScore + RowIdSizeScore(1) +
                    (reading.lost.known ? 0 : kLostFirstValueScore);
    Consider(reading);
  }

  // Whether the bytes of a `headerSizeBytes`-byte header size just before
  // `typesBegin` that survived the free-block header can be one for
  // `columns` serial types (1 to 9 bytes each). A quick test that spares
  // most positions the walk over the types.
  bool HeaderSizeBytesCanHold(std::size_t typesBegin, std::size_t headerSizeBytes, std::size_t columns) const {
    const std::size_t first = typesBegin - headerSizeBytes;
    const std::size_t survivingFrom = m_begin + kOverwrittenSize;
    if (typesBegin > m_end) return false;
    // Its last byte has the top bit clear, the one before it set.
    if (typesBegin - 1 >= survivingFrom && m_page[typesBegin - 1] >= 0x80) return false;  // inside: < typesBegin <= m_end
    if (headerSizeBytes == 2 && first >= survivingFrom && m_page[first] < 0x80) return false;
    if (first < survivingFrom) return true;  // a byte of it is lost: nothing more to test
    const std::uint64_t headerSize = headerSizeBytes == 1 ? m_page[first] : ((m_page[first] & 0x7Fu) << 7) | m_page[first + 1];
    return headerSize >= headerSizeBytes + columns && headerSize <= headerSizeBytes + fmt::kMaxVarintSize * columns;
  }

  // Types start at byte `typesStart` (4 or more) behind an `headerSizeBytes`-byte header size.
  void TryTypesIntact(int shapeIndex, std::size_t typesStart, std::size_t headerSizeBytes) {
    const TableShape& shape = m_area.shapes[static_cast<std::size_t>(shapeIndex)];
    if (typesStart < headerSizeBytes + 2) return;  // payload size and rowid take a byte each at least
    const std::size_t typesBegin = m_begin + typesStart;
    if (!HeaderSizeBytesCanHold(typesBegin, headerSizeBytes, shape.columns.size())) return;
    const std::size_t typeBytes = SkipVarints(m_page, typesBegin, shape.columns.size(), m_end);
    if (typeBytes == 0) return;
    const std::uint64_t headerSize = headerSizeBytes + typeBytes;
    if (VarintSize(headerSize) != headerSizeBytes) return;

    int confirmed = 0;
    // The header-size bytes that lie past the free-block header survived.
    for (std::size_t i = 0; i < headerSizeBytes; ++i) {
      const std::size_t at = typesBegin - headerSizeBytes + i;
      if (at < m_begin + kOverwrittenSize) continue;
      if (m_page[at] != VarintByte(headerSize, headerSizeBytes, i)) return;  // inside: at < typesBegin < m_end
      ++confirmed;
    }
    const auto valueBytes = ValueBytes(m_page, typesBegin, typesBegin + typeBytes);
    if (!valueBytes) return;
    const std::uint64_t payloadSize = headerSize + *valueBytes;
    const std::size_t payloadSizeBytes = VarintSize(payloadSize);
    if (payloadSizeBytes > 3 || typesStart < headerSizeBytes + payloadSizeBytes + 1) return;
    const std::size_t rowIdBytes = typesStart - headerSizeBytes - payloadSizeBytes;
    if (rowIdBytes > fmt::kMaxVarintSize) return;
    for (std::size_t i = 0; i < payloadSizeBytes; ++i) {
      const std::size_t at = m_begin + i;
      if (at < m_begin + kOverwrittenSize) continue;
      if (m_page[at] != VarintByte(payloadSize, payloadSizeBytes, i)) return;  // inside: before typesBegin
      ++confirmed;
    }
    int rowIdBytesSeen = 0;
    const std::size_t rowIdBegin = m_begin + payloadSizeBytes;
    for (std::size_t i = 0; i < rowIdBytes; ++i) {
      const std::size_t at = rowIdBegin + i;
      if (at < m_begin + kOverwrittenSize) continue;
      const bool last = i + 1 == rowIdBytes;
      const bool continues = m_page[at] >= 0x80;  // inside: before typesBegin
      if (last ? (continues && rowIdBytes < fmt::kMaxVarintSize) : !continues) return;
      ++rowIdBytesSeen;
    }

    CellReading reading;
    reading.shape = shapeIndex;
    reading.columnCount = static_cast<int>(shape.columns.size());
    reading.cellBegin = m_begin;
    reading.payloadSize = payloadSize;
    if (rowIdBegin >= m_begin + kOverwrittenSize) {
      if (const auto rowId = ReadCompleteVarint(m_page, rowIdBegin, typesBegin))
        reading.rowId = static_cast<std::int64_t>(rowId->value);
    }
    reading.typesBegin = typesBegin;
    reading.typesEnd = reading.valuesBegin = typesBegin + typeBytes;
    const std::size_t localSize = LocalPayloadSize(payloadSize, m_area.usableSize);
    if (localSize < headerSize) return;
    reading.localEnd = typesBegin - headerSizeBytes + localSize;
    reading.spilled = localSize < payloadSize;
    reading.cellEnd = reading.localEnd + (reading.spilled ? fmt::kOverflowPointerSize : 0);
    int fitScore = 0;
    if (reading.cellEnd <= m_end) {
      reading.survivingEnd = reading.localEnd;
      if (reading.spilled) reading.firstOverflowPage = *Read32(m_page, reading.localEnd);  // inside: cellEnd <= m_end
      const std::size_t slack = m_end - reading.cellEnd;
      if (slack == 0) {
        fitScore = kExactFitScore;
      } else if (slack <= 3) {
        fitScore = kFragmentFitScore;
      } else if (NextFreedCellAt(reading.cellEnd)) {
        fitScore = kNextCellFitScore;
      } else if (confirmed == 0) {
        return;  // nothing confirms where this reading ends
      }
    } else {
      if (confirmed == 0) return;  // a cut reading needs a confirmed header
      reading.survivingEnd = m_end;
      fitScore = kCutScore;
    }
    const Bytes values =
        m_page.subspan(reading.valuesBegin, std::min(reading.localEnd, reading.survivingEnd) - reading.valuesBegin);
    const ShapeFit fit = FitReading(m_page, reading, values, shape);
    if (!fit.fits) return;
    if (reading.IsCut() && fit.survivingCount * 2 < reading.columnCount) return;
    reading.score = fitScore + kConfirmedByteScore * confirmed + kRowIdByteScore * rowIdBytesSeen + fit.Score() +
                    ShapeScore(shapeIndex) + RowIdSizeScore(rowIdBytes);
    Consider(reading);
  }

  int ShapeScore(int shapeIndex) const { return shapeIndex == m_area.ownerShape ? kOwnerShapeScore : 0; }

  int RowIdSizeScore(std::size_t rowIdBytes) const {
    if (m_area.rowIdSizeMin == 0) return 0;
    return rowIdBytes < m_area.rowIdSizeMin || rowIdBytes > m_area.rowIdSizeMax ? kRowIdSizeScore : 0;
  }

  // A freed cell of a merged block begins at `offset`: its header is
  // intact, or an earlier free-block header describes a block inside this one.
  // Answers for offsets near the block start are kept: the search for
  // column 0's value size asks about each of them once per shape.
  bool NextFreedCellAt(std::size_t offset) {
    const std::size_t index = offset - m_begin;
    if (index < m_nextCellKnown.size() && m_nextCellKnown[index] != kUnknown) return m_nextCellKnown[index] == kYes;
    const bool follows = LeftoverFreeBlockEnd(m_area, offset, m_end) || ReadIntactCell(m_area, offset, m_end, false);
    if (index < m_nextCellKnown.size()) m_nextCellKnown[index] = follows ? kYes : kNo;
    return follows;
  }

  void Consider(const CellReading& reading) {
    if (!m_best || reading.score > m_best->score) {
      m_best = reading;
      m_tied = false;
    } else if (reading.score == m_best->score && !SameRecord(reading, *m_best)) {
      m_tied = true;
    }
  }

  const CarveArea& m_area;
  Bytes m_page;
  std::size_t m_begin;
  std::size_t m_end;
  std::optional<CellReading> m_best;
  bool m_tied = false;
  static constexpr std::uint8_t kUnknown = 0, kYes = 1, kNo = 2;
  std::array<std::uint8_t, 2 + kOneByteVarintEnd> m_nextCellKnown{};  // the cells of the first-lost hypothesis
};

}  // namespace

std::optional<std::size_t> LeftoverFreeBlockEnd(const CarveArea& area, std::size_t offset, std::size_t end) {
  end = std::min(end, area.end);
  const auto next = Read16(area.page, offset);
  const auto size = Read16(area.page, offset + 2);
  if (!next || !size || *size < kMinCellSize || offset + *size > end) return std::nullopt;
  // Free blocks are chained in ascending order and never touch.
  if (*next != 0 && (*next <= offset + *size || *next >= area.end)) return std::nullopt;
  return offset + *size;
}

std::optional<CellReading> RebuildFreedCell(const CarveArea& area, std::size_t blockBegin, std::size_t blockEnd) {
  blockEnd = std::min(blockEnd, area.end);
  if (blockBegin + kMinCellSize > blockEnd) return std::nullopt;
  return FreedCellSearch(area, blockBegin, blockEnd).Run();
}

}  // namespace scrivel::sqlite
