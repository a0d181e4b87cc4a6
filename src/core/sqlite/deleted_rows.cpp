#include "core/sqlite/deleted_rows.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "core/sqlite/record.h"

namespace scrivel::sqlite {

namespace {

// Lower is better (deleted_rows.h).
int PlaceRank(RowSource source) {
  switch (source) {
    case RowSource::kCell: return 0;
    case RowSource::kFreelistLeaf: return 1;
    case RowSource::kWalSuperseded: return 2;
    case RowSource::kJournal: return 3;
    case RowSource::kWalUncommitted: return 4;
    case RowSource::kOverflow: return 5;
    case RowSource::kFreeBlock: return 6;
    case RowSource::kStalePointer: return 7;
    case RowSource::kGap: return 8;
    case RowSource::kTrailing: return 9;
    case RowSource::kFreelistTrunk: return 10;
    case RowSource::kWalFreeBlock: return 11;
  }
  return 12;
}

bool Better(const DeletedRow& candidate, bool storedPartial, RowSource storedSource) {
  if (candidate.partial != storedPartial) return !candidate.partial;
  return PlaceRank(candidate.source) < PlaceRank(storedSource);
}

// The values of a complete record by column; NULL columns hold an empty
// view with serial type 0.
std::vector<ColumnValue> ValuesOf(Bytes record) {
  std::vector<ColumnValue> values;
  const auto layout = LiveRecordLayout(record);
  if (!layout) return values;
  const bool complete = ForEachColumn(record, *layout, [&](int, const ColumnValue& value) { values.push_back(value); });
  if (!complete) values.clear();
  return values;
}

bool SameValue(const ColumnValue& a, const ColumnValue& b) {
  return a.serialType == b.serialType && std::equal(a.bytes.begin(), a.bytes.end(), b.bytes.begin(), b.bytes.end());
}

// Partial rows are compared with at most this many complete rows, so that
// a table of many deleted rows does not make the comparison quadratic.
constexpr std::size_t kMostComparedRows = 4096;

std::uint64_t ValueKey(int column, const ColumnValue& value) {
  const std::string_view bytes(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
  return std::hash<std::string_view>{}(bytes) * 31 + static_cast<std::uint64_t>(column) * 1000003 + value.serialType;
}

// The column of the longest surviving value of a partial row, or -1.
int KeyColumnOf(const std::vector<ColumnValue>& values) {
  int best = -1;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (!values[i].IsNull() && (best < 0 || values[i].bytes.size() > values[static_cast<std::size_t>(best)].bytes.size()))
      best = static_cast<int>(i);
  return best;
}

bool Covers(const std::vector<ColumnValue>& whole, const std::vector<ColumnValue>& surviving) {
  if (whole.size() < surviving.size()) return false;
  for (std::size_t i = 0; i < surviving.size(); ++i)
    if (!surviving[i].IsNull() && !SameValue(surviving[i], whole[i])) return false;
  return true;
}

}  // namespace

std::uint64_t RecordHash(Bytes record) {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(record.data()), record.size()));
}

void DeletedRowStore::Add(const DeletedRow& row) {
  const std::uint64_t hash = RecordHash(row.record);
  const auto found = m_indexByHash.find(hash);
  if (found != m_indexByHash.end()) {
    Stored& stored = m_rows[found->second];
    if (Better(row, stored.partial, stored.source)) {
      stored.pageNumber = row.pageNumber;
      stored.source = row.source;
      stored.partial = row.partial;
    }
    if (!stored.rowId) stored.rowId = row.rowId;
    return;
  }
  m_indexByHash.emplace(hash, m_rows.size());
  m_rows.push_back({row.pageNumber, row.source, row.partial, row.rowId, m_bytes.size(), row.record.size(), hash});
  m_bytes.insert(m_bytes.end(), row.record.begin(), row.record.end());
}

DeletedRow DeletedRowStore::View(const Stored& stored) const {
  return {stored.pageNumber, stored.source, stored.partial, stored.rowId,
          Bytes(m_bytes).subspan(stored.offset, stored.size)};
}

bool DeletedRowStore::CoveredByCompleteRow(const Stored& partial) const {
  const std::vector<ColumnValue> surviving = ValuesOf(View(partial).record);
  std::size_t compared = 0;
  for (const Stored& other : m_rows) {
    if (other.partial) continue;
    if (++compared > kMostComparedRows) return false;
    if (Covers(ValuesOf(View(other).record), surviving)) return true;
  }
  return false;
}

void DeletedRowStore::IndexPartialRows() {
  m_partialIndexBuilt = true;
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    if (!m_rows[i].partial) continue;
    const std::vector<ColumnValue> values = ValuesOf(View(m_rows[i]).record);
    const int column = KeyColumnOf(values);
    if (column < 0) continue;
    m_partialByKey.emplace(ValueKey(column, values[static_cast<std::size_t>(column)]), i);
    if (std::find(m_keyColumns.begin(), m_keyColumns.end(), column) == m_keyColumns.end()) m_keyColumns.push_back(column);
  }
}

void DeletedRowStore::SeeLiveRow(Bytes liveRecord) {
  if (!m_partialIndexBuilt) IndexPartialRows();
  if (m_partialByKey.empty()) return;
  const std::vector<ColumnValue> live = ValuesOf(liveRecord);
  for (const int column : m_keyColumns) {
    if (static_cast<std::size_t>(column) >= live.size()) continue;
    const auto [first, last] = m_partialByKey.equal_range(ValueKey(column, live[static_cast<std::size_t>(column)]));
    for (auto entry = first; entry != last; ++entry) {
      Stored& partial = m_rows[entry->second];
      if (!partial.liveLeftover && Covers(live, ValuesOf(View(partial).record))) partial.liveLeftover = true;
    }
  }
}

}  // namespace scrivel::sqlite
