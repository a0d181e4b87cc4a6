// Opening a database inside a backup with the SQLite library without ever
// writing beside it.
#pragma once

#include <string>

namespace scrivel {

// The "file:" URI that opens `path` read-only and immutable: the library
// takes no locks and creates no journal or shared-memory file next to the
// database, and a missing file is not created. Open it with
// SQLITE_OPEN_READONLY | SQLITE_OPEN_URI.
std::string ReadOnlySqliteUri(const std::string& path);

}  // namespace scrivel
