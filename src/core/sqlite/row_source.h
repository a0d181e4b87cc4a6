// Where a recovered row was found. The names are those of the
// "scrivel-cli sqlite" output (the "source" of a row).
//
//   source            what holds the row
//   cell              a live cell of the table's b-tree (the only live source)
//   freeblock         a free block of a b-tree page (a freed cell)
//   gap               the unallocated gap between the cell pointer array and the cells
//   trailing          the area behind the cell with the highest offset
//   stale-pointer     a cell pointer array entry past the cell count
//   freelist-leaf     a freelist leaf page: its cells and its free space
//   freelist-trunk    a freelist trunk page, behind its list of leaf page numbers
//   overflow          a freed record whose payload was joined from freed overflow pages
//   wal-superseded    a row of the main file or of an earlier WAL frame that the last
//                     committed state no longer holds
//   wal-freeblock     the free space of a page image in the WAL
//   wal-uncommitted   a WAL frame written after the last commit
//   journal           a page image of the rollback journal
#pragma once

#include <cstdint>

namespace scrivel::sqlite {

enum class RowSource : std::uint8_t {
  kCell,
  kFreeBlock,
  kGap,
  kTrailing,
  kStalePointer,
  kFreelistLeaf,
  kFreelistTrunk,
  kOverflow,
  kWalSuperseded,
  kWalFreeBlock,
  kWalUncommitted,
  kJournal,
};

// The name the command line and JSON output use ("cell", "freeblock", ...).
const char* RowSourceName(RowSource source);

}  // namespace scrivel::sqlite
