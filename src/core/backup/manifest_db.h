// Reader of "Manifest.db", the SQLite manifest of iOS 10 and later backups:
// table Files(fileID, domain, relativePath, flags, file). Every row becomes
// one entry, directories included.
#pragma once

#include <filesystem>
#include <vector>

#include "core/backup/manifest.h"

namespace scrivel {

// Reads `path` with the query "select fileID,domain, relativePath from
// Files;". Each row gives fileId = fileID and name = domain + "-" +
// relativePath (NULL reads as empty text). The database is opened read-only
// and immutable: nothing is ever written next to it.
// Returns kOk; SQLite's error code when the file cannot be opened; kQueryError
// when the query fails (the rows read before the failure are still in `out`).
// `out` is cleared first.
[[nodiscard]] int LoadManifestDb(const std::filesystem::path& path, std::vector<ManifestEntry>& out);

}  // namespace scrivel
