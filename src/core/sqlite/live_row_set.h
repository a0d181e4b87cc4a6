// The value bytes of a table's live rows, remembered (as 64-bit hashes) so
// that the deleted-record search can tell an old copy of a row that is
// still live from a row that was really deleted. SQLite leaves such copies
// behind whenever it moves cells: when a page splits or is rebalanced the
// old page keeps the moved cells' bytes in its free space, and a page that
// is emptied that way goes to the freelist with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/sqlite/byte_view.h"

namespace scrivel::sqlite {

class LiveRowSet {
 public:
  // Remembers the values area of a live record.
  void Add(Bytes values);
  // True when `values` equals the values area of a remembered record.
  bool Contains(Bytes values);

 private:
  static std::uint64_t Hash(Bytes values);
  // Sorts the hashes and indexes them by their top bits.
  void Prepare();
  std::size_t BucketOf(std::uint64_t hash) const { return m_bucketBits == 0 ? 0 : hash >> (64 - m_bucketBits); }

  std::vector<std::uint64_t> m_hashes;  // sorted when m_prepared
  // When m_prepared: the hashes whose top m_bucketBits bits are b lie at
  // m_hashes[m_bucketStarts[b] .. m_bucketStarts[b + 1]).
  std::vector<std::size_t> m_bucketStarts;
  int m_bucketBits = 0;
  bool m_prepared = false;
};

}  // namespace scrivel::sqlite
