// The deleted rows of one table found so far, each record kept once: a row
// found in several places (a free block and a freelist page, the main file
// and a WAL frame) keeps the place that tells the most about it.
//
// Place ranking, best first: whole records with their cell (freelist-leaf,
// wal-superseded, journal, wal-uncommitted), a record joined from its
// overflow pages, then rebuilt records (freeblock, stale-pointer, gap,
// trailing, freelist-trunk, wal-freeblock). A complete record always beats
// a partial one.
//
// The records wait in a spill file (spill_file.h), so that the memory the
// store takes does not grow with the number or size of the rows; only
// partial rows, which are few, are also kept in memory to be compared with
// whole rows. Three streams of the spill file serve a store:
//
//   stream    one record per             layout
//   entries   row added                  offset 0: record size (4), 4: page
//                                        number (4), 8: source (1), 9: flags
//                                        (1: partial, 2: row id known),
//                                        10: row id (8), 18: the record
//   keys      row added                  0: record hash (8), 8: place of its
//                                        entry (8), 16: row id (8), 24: rank
//                                        (1), 25: row id known (1); 32 bytes
//   live      live row seen              0: record hash (8)
//
// ForEach picks one key per record hash that is no live row's. It holds
// about kPassBytes of keys and live hashes in memory at once: a store with
// more is sorted out in several passes, each over one share of the hash
// values, whose picks wait in the spill file until all are merged back into
// the order of their places, so that the entries are read once, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/record.h"
#include "core/sqlite/row_source.h"
#include "core/sqlite/spill_file.h"

namespace scrivel::sqlite {

struct DeletedRow {
  std::uint32_t pageNumber = 0;
  RowSource source = RowSource::kFreeBlock;
  bool partial = false;
  std::optional<std::int64_t> rowId;
  Bytes record;  // valid during the call that hands the row over
};

// Hash of a record's bytes, by which rows are matched.
std::uint64_t RecordHash(Bytes record);

class DeletedRowStore {
 public:
  // Memory ForEach gives one pass: 32 bytes per key, 8 per live row.
  static constexpr std::size_t kPassBytes = std::size_t{512} << 10;

  // `spill` holds the records and must outlive the store.
  explicit DeletedRowStore(SpillFile& spill) : m_entries(spill), m_keys(spill), m_live(spill), m_spill(&spill) {}

  void Add(const DeletedRow& row);
  // Writes out what waits in memory for the spill file; call when no more
  // rows will be added for a while. Add may still follow.
  void FinishAdding();

  // Remembers a live row of the table, so that ForEach leaves out its
  // copies and the partial rows that are its leftover (their surviving
  // values all appear, in the same columns, in `liveRecord`). Call for each
  // live row of the table before ForEach.
  void SeeLiveRow(Bytes liveRecord);

  // Calls `visit` once per distinct record, from its best place: the
  // complete rows in the order those places were found, then the partial
  // ones, leaving out copies of live rows and partial rows whose surviving
  // values all appear, in the same columns, in a live row or a complete row
  // of the store (the same row seen whole elsewhere). Then forgets the live
  // rows.
  void ForEach(const std::function<void(const DeletedRow&)>& visit);

 private:
  struct Key {
    std::uint64_t hash = 0;
    std::uint64_t place = 0;  // of the entry in m_entries
    std::int64_t rowId = 0;
    std::uint8_t rank = 0;    // lower is better
    bool hasRowId = false;
  };
  struct PartialRow {
    std::uint64_t hash;
    std::vector<std::uint8_t> record;
  };

  std::vector<Key> KeysOfPass(std::size_t pass, std::size_t passes) const;
  std::vector<std::uint64_t> LiveHashesOfPass(std::size_t pass, std::size_t passes) const;
  // Leaves in `keys` the best place of each record to report, in the order
  // of the places.
  void PickBest(std::vector<Key>& keys, const std::vector<std::uint64_t>& sortedLive) const;
  // Hands over the entries the picks of every pass name, in place order.
  void DeliverMerged(const std::vector<SpillStream>& picks, const std::function<void(const DeletedRow&)>& visit);
  void IndexPartialRows();
  void MarkPartialsCoveredBy(Bytes wholeRecord);

  SpillStream m_entries;
  SpillStream m_keys;
  SpillStream m_live;
  SpillFile* m_spill;
  std::size_t m_entryCount = 0;
  std::size_t m_liveCount = 0;

  std::vector<PartialRow> m_partials;
  std::unordered_set<std::uint64_t> m_partialHashes;
  // Partial rows by their longest surviving value: (column, value hash) ->
  // index into m_partials; built when first needed.
  bool m_partialIndexBuilt = false;
  std::unordered_multimap<std::uint64_t, std::size_t> m_partialByKey;
  std::vector<int> m_keyColumns;
  std::vector<std::pair<int, std::uint64_t>> m_keyTypes;  // (column, serial type) of each key value
  std::unordered_set<std::uint64_t> m_coveredPartials;  // hashes of partial rows seen whole elsewhere
  std::vector<ColumnValue> m_values;                     // scratch
  std::vector<std::uint8_t> m_entryScratch;              // scratch
};

}  // namespace scrivel::sqlite
