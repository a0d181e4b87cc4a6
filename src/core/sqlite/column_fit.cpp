#include "core/sqlite/column_fit.h"

#include <cmath>
#include <string_view>

#include "core/common/utf8.h"

namespace scrivel::sqlite {

namespace {

bool IsAllZero(Bytes bytes) {
  for (const std::uint8_t byte : bytes)
    if (byte != 0) return false;
  return true;
}

bool IsWellFormedText(Bytes bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return text.find('\0') == std::string_view::npos && IsValidUtf8(text);
}

// A real that an INTEGER or NUMERIC column would have stored as an integer.
bool IsIntegral(double value) {
  return std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 9.2e18;
}

ColumnFit FitOfText(const ColumnValue& value, ColumnAffinity affinity) {
  if (!IsWellFormedText(value.bytes)) return ColumnFit::kNo;
  if (HasUnusualControlCharacter(value.bytes) || value.bytes.empty()) return ColumnFit::kPossible;
  return affinity == ColumnAffinity::kText || affinity == ColumnAffinity::kBlob ? ColumnFit::kTypical
                                                                                 : ColumnFit::kPossible;
}

ColumnFit FitOfNumber(const ColumnValue& value, ColumnAffinity affinity) {
  if (affinity == ColumnAffinity::kText) return ColumnFit::kNo;
  if (value.IsInteger()) return ColumnFit::kTypical;  // a REAL column stores integral values as integers
  // A real: NaN is stored as NULL, so it never appears.
  const double real = value.Float();
  if (std::isnan(real)) return ColumnFit::kNo;
  if (IsIntegral(real) && (affinity == ColumnAffinity::kInteger || affinity == ColumnAffinity::kNumeric))
    return ColumnFit::kNo;
  return affinity == ColumnAffinity::kInteger ? ColumnFit::kPossible : ColumnFit::kTypical;
}

}  // namespace

bool HasUnusualControlCharacter(Bytes text) {
  for (const std::uint8_t byte : text)
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return true;
  return false;
}

ColumnFit FitOfValue(const ColumnValue& value, const TableShape& shape, int column) {
  const auto index = static_cast<std::size_t>(column);
  if (column == shape.rowIdColumn) return value.IsNull() ? ColumnFit::kTypical : ColumnFit::kNo;
  const ColumnAffinity affinity = index < shape.affinities.size() ? shape.affinities[index] : ColumnAffinity::kBlob;
  if (value.IsNull()) {
    const bool notNull = index < shape.notNull.size() && shape.notNull[index];
    return notNull ? ColumnFit::kNo : ColumnFit::kPossible;
  }
  if (value.serialType == 10 || value.serialType == 11) return ColumnFit::kNo;
  if (value.IsText()) return FitOfText(value, affinity);
  if (value.IsBlob()) {
    if (affinity == ColumnAffinity::kBlob) return ColumnFit::kTypical;
    // Zeros read as a blob are mostly never-written space.
    if (IsAllZero(value.bytes)) return ColumnFit::kNo;
    return affinity == ColumnAffinity::kText ? ColumnFit::kPossible : ColumnFit::kNo;
  }
  return FitOfNumber(value, affinity);
}

}  // namespace scrivel::sqlite
