// The deleted rows of one table found so far, each record kept once: a row
// found in several places (a free block and a freelist page, the main file
// and a WAL frame) keeps the place that tells the most about it.
//
// Place ranking, best first: whole records with their cell (freelist-leaf,
// wal-superseded, journal, wal-uncommitted), a record joined from its
// overflow pages, then rebuilt records (freeblock, stale-pointer, gap,
// trailing, freelist-trunk, wal-freeblock). A complete record always beats
// a partial one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/row_source.h"

namespace scrivel::sqlite {

struct DeletedRow {
  std::uint32_t pageNumber = 0;
  RowSource source = RowSource::kFreeBlock;
  bool partial = false;
  std::optional<std::int64_t> rowId;
  Bytes record;  // points into the store; valid until the next Add
};

// Hash of a record's bytes, by which rows are matched.
std::uint64_t RecordHash(Bytes record);

class DeletedRowStore {
 public:
  void Add(const DeletedRow& row);
  std::size_t Size() const { return m_rows.size(); }

  // Marks the partial rows that are a live row's leftover: their surviving
  // values all appear, in the same columns, in `liveRecord`. Call for each
  // live row of the table before ForEach.
  void SeeLiveRow(Bytes liveRecord);

  // Calls `visit(const DeletedRow&)` for each row in the order first found,
  // leaving out rows whose record hash is in `live` (copies of live rows)
  // and partial rows whose surviving values all appear, in the same
  // columns, in a complete row of the store (the same row seen whole
  // elsewhere).
  template <typename Visit>
  void ForEach(const std::unordered_set<std::uint64_t>& live, Visit&& visit) const;

 private:
  struct Stored {
    std::uint32_t pageNumber;
    RowSource source;
    bool partial;
    std::optional<std::int64_t> rowId;
    std::size_t offset;  // into m_bytes
    std::size_t size;
    std::uint64_t hash;
    bool liveLeftover = false;  // a partial copy of a live row (SeeLiveRow)
  };
  DeletedRow View(const Stored& stored) const;
  bool CoveredByCompleteRow(const Stored& partial) const;
  void IndexPartialRows();

  // Partial rows by their longest surviving value: (column, value hash) ->
  // index into m_rows; built at the first SeeLiveRow.
  bool m_partialIndexBuilt = false;
  std::unordered_multimap<std::uint64_t, std::size_t> m_partialByKey;
  std::vector<int> m_keyColumns;

  std::vector<Stored> m_rows;
  std::vector<std::uint8_t> m_bytes;
  std::unordered_map<std::uint64_t, std::size_t> m_indexByHash;  // record hash -> index into m_rows
};

template <typename Visit>
void DeletedRowStore::ForEach(const std::unordered_set<std::uint64_t>& live, Visit&& visit) const {
  for (const Stored& stored : m_rows) {
    if (live.count(stored.hash) != 0 || stored.liveLeftover) continue;
    if (stored.partial && CoveredByCompleteRow(stored)) continue;
    visit(View(stored));
  }
}

}  // namespace scrivel::sqlite
