#include "core/sqlite/row_source.h"

namespace scrivel::sqlite {

const char* RowSourceName(RowSource source) {
  switch (source) {
    case RowSource::kCell: return "cell";
    case RowSource::kFreeBlock: return "freeblock";
    case RowSource::kGap: return "gap";
    case RowSource::kTrailing: return "trailing";
    case RowSource::kStalePointer: return "stale-pointer";
    case RowSource::kFreelistLeaf: return "freelist-leaf";
    case RowSource::kFreelistTrunk: return "freelist-trunk";
    case RowSource::kOverflow: return "overflow";
    case RowSource::kWalSuperseded: return "wal-superseded";
    case RowSource::kWalFreeBlock: return "wal-freeblock";
    case RowSource::kWalUncommitted: return "wal-uncommitted";
    case RowSource::kJournal: return "journal";
  }
  return "cell";
}

}  // namespace scrivel::sqlite
