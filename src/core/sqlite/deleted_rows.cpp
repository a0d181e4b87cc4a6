#include "core/sqlite/deleted_rows.h"

#include <algorithm>
#include <array>
#include <cstring>
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

// A complete row always ranks before a partial one.
constexpr std::uint8_t kPartialRank = 16;
std::uint8_t RankOf(RowSource source, bool partial) {
  return static_cast<std::uint8_t>(PlaceRank(source) + (partial ? kPartialRank : 0));
}

// The values of a complete record by column into `values`; NULL columns
// hold an empty view with serial type 0. Empty when the record is not whole.
void ValuesOf(Bytes record, std::vector<ColumnValue>& values) {
  values.clear();
  const auto layout = LiveRecordLayout(record);
  if (!layout) return;
  const bool complete = ForEachColumn(record, *layout, [&](int, const ColumnValue& value) { values.push_back(value); });
  if (!complete) values.clear();
}

std::vector<ColumnValue> ValuesOf(Bytes record) {
  std::vector<ColumnValue> values;
  ValuesOf(record, values);
  return values;
}

bool SameValue(const ColumnValue& a, const ColumnValue& b) {
  return a.serialType == b.serialType && std::equal(a.bytes.begin(), a.bytes.end(), b.bytes.begin(), b.bytes.end());
}

// Stream layouts (deleted_rows.h).
constexpr std::size_t kEntryHeaderSize = 18;
constexpr std::size_t kKeySize = 32;
constexpr std::uint8_t kPartialFlag = 1;
constexpr std::uint8_t kRowIdFlag = 2;
// At most this many passes: a store too large for them at kPassBytes each
// takes more memory per pass instead, which keeps the merge of the passes
// small.
constexpr std::size_t kMostPasses = 64;
constexpr std::size_t kPickBlockBytes = std::size_t{4} << 10;

template <typename T>
void PutField(std::uint8_t* out, T value) {
  std::memcpy(out, &value, sizeof(T));
}

// Precondition: `offset + sizeof(T)` lies inside `bytes`.
template <typename T>
T FieldAt(Bytes bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// Which of `passes` shares of the hash values `hash` falls in.
std::size_t PassOf(std::uint64_t hash, std::size_t passes) {
  return static_cast<std::size_t>(((hash >> 32) * passes) >> 32);
}

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

namespace {

std::array<std::uint8_t, kKeySize> EncodeKey(std::uint64_t hash, std::uint64_t place, std::optional<std::int64_t> rowId,
                                             std::uint8_t rank) {
  std::array<std::uint8_t, kKeySize> bytes{};
  PutField<std::uint64_t>(&bytes[0], hash);
  PutField<std::uint64_t>(&bytes[8], place);
  PutField<std::int64_t>(&bytes[16], rowId.value_or(0));
  bytes[24] = rank;
  bytes[25] = rowId ? 1 : 0;
  return bytes;
}

// Calls `visit(Bytes record)` for each fixed-size record of `stream`.
template <typename Visit>
void ForEachFixedRecord(const SpillStream& stream, std::size_t size, Visit&& visit) {
  std::vector<std::uint8_t> block;
  for (std::size_t b = 0; b < stream.BlockCount(); ++b) {
    // A block the spill file cannot give back is lost; the others still count.
    if (!stream.ReadBlock(b, block)) continue;
    for (std::size_t offset = 0; offset + size <= block.size(); offset += size) visit(Bytes(block).subspan(offset, size));
  }
}

// Reads the entry at `offsetInBlock` of `block` (a block of the entries
// stream), or nothing when it does not lie whole inside.
std::optional<DeletedRow> EntryAt(Bytes block, std::size_t offsetInBlock) {
  if (!HasBytes(block, offsetInBlock, kEntryHeaderSize)) return std::nullopt;
  const std::uint32_t size = FieldAt<std::uint32_t>(block, offsetInBlock);
  if (!HasBytes(block, offsetInBlock + kEntryHeaderSize, size)) return std::nullopt;
  DeletedRow row;
  row.pageNumber = FieldAt<std::uint32_t>(block, offsetInBlock + 4);
  row.source = static_cast<RowSource>(FieldAt<std::uint8_t>(block, offsetInBlock + 8));
  const std::uint8_t flags = FieldAt<std::uint8_t>(block, offsetInBlock + 9);
  row.partial = (flags & kPartialFlag) != 0;
  if ((flags & kRowIdFlag) != 0) row.rowId = FieldAt<std::int64_t>(block, offsetInBlock + 10);
  row.record = block.subspan(offsetInBlock + kEntryHeaderSize, size);
  return row;
}

// Reads the entries of a stream at increasing places, one block at a time.
class EntryReader {
 public:
  explicit EntryReader(const SpillStream& entries) : m_entries(entries) {}
  std::optional<DeletedRow> At(std::uint64_t place) {
    const std::size_t block = static_cast<std::size_t>(place >> 32);
    if (!m_loaded || *m_loaded != block) {
      m_loaded = block;
      if (!m_entries.ReadBlock(block, m_block)) m_block.clear();
    }
    return EntryAt(m_block, static_cast<std::size_t>(place & 0xffffffffu));
  }

 private:
  const SpillStream& m_entries;
  std::vector<std::uint8_t> m_block;
  std::optional<std::size_t> m_loaded;
};

}  // namespace

void DeletedRowStore::Add(const DeletedRow& row) {
  const std::uint64_t hash = RecordHash(row.record);
  std::vector<std::uint8_t>& entry = m_entryScratch;
  entry.resize(kEntryHeaderSize);
  PutField<std::uint32_t>(&entry[0], static_cast<std::uint32_t>(row.record.size()));
  PutField<std::uint32_t>(&entry[4], row.pageNumber);
  entry[8] = static_cast<std::uint8_t>(row.source);
  entry[9] = static_cast<std::uint8_t>((row.partial ? kPartialFlag : 0) | (row.rowId ? kRowIdFlag : 0));
  PutField<std::int64_t>(&entry[10], row.rowId.value_or(0));
  entry.insert(entry.end(), row.record.begin(), row.record.end());
  const std::uint64_t place = m_entries.Append(entry);
  m_keys.Append(EncodeKey(hash, place, row.rowId, RankOf(row.source, row.partial)));
  ++m_entryCount;
  if (row.partial && m_partialHashes.insert(hash).second) {
    m_partials.push_back({hash, std::vector<std::uint8_t>(row.record.begin(), row.record.end())});
    m_partialIndexBuilt = false;
  }
}

std::vector<DeletedRowStore::Key> DeletedRowStore::KeysOfPass(std::size_t pass, std::size_t passes) const {
  std::vector<Key> keys;
  keys.reserve(m_entryCount / passes + m_entryCount / passes / 8 + 16);  // hashes spread evenly
  ForEachFixedRecord(m_keys, kKeySize, [&](Bytes bytes) {
    const std::uint64_t hash = FieldAt<std::uint64_t>(bytes, 0);
    if (PassOf(hash, passes) != pass) return;
    keys.push_back({hash, FieldAt<std::uint64_t>(bytes, 8), FieldAt<std::int64_t>(bytes, 16), bytes[24], bytes[25] != 0});
  });
  return keys;
}

std::vector<std::uint64_t> DeletedRowStore::LiveHashesOfPass(std::size_t pass, std::size_t passes) const {
  std::vector<std::uint64_t> hashes;
  hashes.reserve(m_liveCount / passes + m_liveCount / passes / 8 + 16);  // hashes spread evenly
  ForEachFixedRecord(m_live, sizeof(std::uint64_t), [&](Bytes bytes) {
    const std::uint64_t hash = FieldAt<std::uint64_t>(bytes, 0);
    if (PassOf(hash, passes) == pass) hashes.push_back(hash);
  });
  std::sort(hashes.begin(), hashes.end());
  return hashes;
}

void DeletedRowStore::PickBest(std::vector<Key>& keys, const std::vector<std::uint64_t>& sortedLive) const {
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.hash != b.hash) return a.hash < b.hash;
    if (a.rank != b.rank) return a.rank < b.rank;
    return a.place < b.place;
  });
  std::size_t kept = 0;  // the picks are moved to the front
  for (std::size_t first = 0; first < keys.size();) {
    std::size_t end = first + 1;
    while (end < keys.size() && keys[end].hash == keys[first].hash) ++end;
    Key best = keys[first];
    const bool live = std::binary_search(sortedLive.begin(), sortedLive.end(), best.hash);
    if (!live) {
      // A place that lost the row id takes it from the earliest place that kept it.
      std::optional<std::uint64_t> earliestWithRowId;
      for (std::size_t i = first; i < end && !best.hasRowId; ++i) {
        if (!keys[i].hasRowId || (earliestWithRowId && keys[i].place > *earliestWithRowId)) continue;
        earliestWithRowId = keys[i].place;
        best.rowId = keys[i].rowId;
      }
      best.hasRowId = best.hasRowId || earliestWithRowId.has_value();
      keys[kept++] = best;
    }
    first = end;
  }
  keys.resize(kept);
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.place < b.place; });
}

void DeletedRowStore::DeliverMerged(const std::vector<SpillStream>& picks,
                                    const std::function<void(const DeletedRow&)>& visit) {
  // One cursor per pass over its picks, which are in place order; the
  // smallest place of all cursors is handed over next.
  struct Cursor {
    std::vector<std::uint8_t> block;
    std::size_t blockIndex = 0;
    std::size_t offset = 0;
  };
  std::vector<Cursor> cursors(picks.size());
  const auto current = [&](std::size_t i) -> std::optional<Bytes> {
    Cursor& cursor = cursors[i];
    while (cursor.offset + kKeySize > cursor.block.size()) {
      if (cursor.blockIndex >= picks[i].BlockCount()) return std::nullopt;
      if (!picks[i].ReadBlock(cursor.blockIndex++, cursor.block)) cursor.block.clear();
      cursor.offset = 0;
    }
    return Bytes(cursor.block).subspan(cursor.offset, kKeySize);
  };
  // Whole rows go out as the merge reaches them, and each marks the partial
  // rows it shows whole; the partial picks wait for the end, when every
  // whole row has been seen.
  struct PartialPick {
    std::uint64_t place;
    std::uint64_t hash;
    std::optional<std::int64_t> rowId;
  };
  std::vector<PartialPick> partialPicks;
  EntryReader entries(m_entries);
  const auto handOver = [&](std::uint64_t place, std::optional<std::int64_t> rowId) {
    std::optional<DeletedRow> row = entries.At(place);
    if (!row) return;
    row->rowId = rowId;
    visit(*row);
    if (!row->partial && !m_partials.empty()) MarkPartialsCoveredBy(row->record);
  };
  while (true) {
    std::optional<std::size_t> next;
    std::uint64_t nextPlace = 0;
    for (std::size_t i = 0; i < cursors.size(); ++i) {
      const std::optional<Bytes> key = current(i);
      if (!key) continue;
      const std::uint64_t place = FieldAt<std::uint64_t>(*key, 8);
      if (!next || place < nextPlace) {
        next = i;
        nextPlace = place;
      }
    }
    if (!next) break;
    const Bytes key = *current(*next);
    const std::optional<std::int64_t> rowId = key[25] != 0 ? std::optional(FieldAt<std::int64_t>(key, 16)) : std::nullopt;
    if (key[24] >= kPartialRank) {
      partialPicks.push_back({nextPlace, FieldAt<std::uint64_t>(key, 0), rowId});
    } else {
      handOver(nextPlace, rowId);
    }
    cursors[*next].offset += kKeySize;
  }
  for (const PartialPick& pick : partialPicks)
    if (m_coveredPartials.count(pick.hash) == 0) handOver(pick.place, pick.rowId);
}

void DeletedRowStore::ForEach(const std::function<void(const DeletedRow&)>& visit) {
  if (m_entryCount != 0) {
    const std::size_t bytes = m_entryCount * kKeySize + m_liveCount * sizeof(std::uint64_t);
    const std::size_t passes = std::min(kMostPasses, (bytes + kPassBytes - 1) / kPassBytes);
    std::vector<SpillStream> picks;
    for (std::size_t pass = 0; pass < passes; ++pass) {
      std::vector<Key> keys = KeysOfPass(pass, passes);
      PickBest(keys, LiveHashesOfPass(pass, passes));
      // Small blocks: the merge holds one block of every pass at once.
      picks.emplace_back(*m_spill, kPickBlockBytes);
      for (const Key& key : keys) {
        const std::optional<std::int64_t> rowId = key.hasRowId ? std::optional(key.rowId) : std::nullopt;
        picks.back().Append(EncodeKey(key.hash, key.place, rowId, key.rank));
      }
      picks.back().Seal();
    }
    DeliverMerged(picks, visit);
  }
  m_live.Clear();
  m_liveCount = 0;
}

void DeletedRowStore::FinishAdding() {
  m_entries.Seal();
  m_keys.Seal();
}

void DeletedRowStore::IndexPartialRows() {
  m_partialIndexBuilt = true;
  m_partialByKey.clear();
  m_keyColumns.clear();
  m_keyTypes.clear();
  for (std::size_t i = 0; i < m_partials.size(); ++i) {
    const std::vector<ColumnValue> values = ValuesOf(m_partials[i].record);
    const int column = KeyColumnOf(values);
    if (column < 0) continue;
    m_partialByKey.emplace(ValueKey(column, values[static_cast<std::size_t>(column)]), i);
    m_keyTypes.emplace_back(column, values[static_cast<std::size_t>(column)].serialType);
    if (std::find(m_keyColumns.begin(), m_keyColumns.end(), column) == m_keyColumns.end()) m_keyColumns.push_back(column);
  }
}

void DeletedRowStore::MarkPartialsCoveredBy(Bytes wholeRecord) {
  if (!m_partialIndexBuilt) IndexPartialRows();
  if (m_partialByKey.empty()) return;
  const auto layout = LiveRecordLayout(wholeRecord);
  if (!layout) return;
  // Only a row that holds some partial row's key value is compared whole.
  bool holdsKey = false;
  for (const int column : m_keyColumns) {
    const std::optional<ColumnValue> value = ColumnAt(wholeRecord, *layout, column);
    // A key value of another serial type (another length) cannot match:
    // most rows are ruled out before their value is hashed.
    const bool sameType = value && std::find(m_keyTypes.begin(), m_keyTypes.end(),
                                             std::pair<int, std::uint64_t>(column, value->serialType)) != m_keyTypes.end();
    holdsKey = holdsKey || (sameType && m_partialByKey.count(ValueKey(column, *value)) != 0);
  }
  if (!holdsKey) return;
  ValuesOf(wholeRecord, m_values);
  for (const int column : m_keyColumns) {
    if (static_cast<std::size_t>(column) >= m_values.size()) continue;
    const auto [first, last] = m_partialByKey.equal_range(ValueKey(column, m_values[static_cast<std::size_t>(column)]));
    for (auto entry = first; entry != last; ++entry) {
      const PartialRow& partial = m_partials[entry->second];
      if (m_coveredPartials.count(partial.hash) == 0 && Covers(m_values, ValuesOf(partial.record)))
        m_coveredPartials.insert(partial.hash);
    }
  }
}

void DeletedRowStore::SeeLiveRow(Bytes liveRecord) {
  // Live rows matter only to a store that holds deleted rows.
  if (m_entryCount == 0) return;
  std::array<std::uint8_t, sizeof(std::uint64_t)> hash{};
  PutField<std::uint64_t>(hash.data(), RecordHash(liveRecord));
  m_live.Append(hash);
  ++m_liveCount;
  if (!m_partials.empty()) MarkPartialsCoveredBy(liveRecord);
}

}  // namespace scrivel::sqlite
