// The value bytes of a table's live rows, remembered (as 64-bit hashes) so
// that the deleted-record search can tell an old copy of a row that is
// still live from a row that was really deleted. SQLite leaves such copies
// behind whenever it moves cells: when a page splits or is rebalanced the
// old page keeps the moved cells' bytes in its free space, and a page that
// is emptied that way goes to the freelist with them.
#pragma once

#include <cstdint>
#include <vector>

#include "core/sqlite_recovery/byte_view.h"

namespace scrivel::sqlite_recovery {

class LiveRowSet {
 public:
  // Remembers the values area of a live record.
  void Add(Bytes values);
  // True when `values` equals the values area of a remembered record.
  bool Contains(Bytes values);

 private:
  static std::uint64_t Hash(Bytes values);

  std::vector<std::uint64_t> m_hashes;  // sorted when m_sorted
  bool m_sorted = true;
};

}  // namespace scrivel::sqlite_recovery
