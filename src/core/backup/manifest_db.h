// Reader of "Manifest.db", the SQLite manifest of iOS 10 and later backups:
// table Files(fileID, domain, relativePath, flags, file). Every row becomes
// one entry, directories included.
#pragma once

#include <system_error>

#include <filesystem>
#include <vector>

#include "core/backup/manifest.h"

namespace scrivel {

// Reads the Files table of `path`: each row gives fileId = fileID, name =
// domain + "-" + relativePath (NULL reads as empty text) and storedFile from
// the flags column (1 = a file; a manifest without the column lists files
// only). The database is opened read-only and immutable: nothing is ever
// written next to it. `out` is cleared first.
// Returns success, also when damage ended the query after some rows (those
// rows are kept, and *incomplete is set when given); kBadFile when the file
// cannot be opened as a database; kQueryError when no row could be read.
[[nodiscard]] std::error_code LoadManifestDb(const std::filesystem::path& path, std::vector<ManifestEntry>& out,
                                             bool* incomplete = nullptr);

}  // namespace scrivel
