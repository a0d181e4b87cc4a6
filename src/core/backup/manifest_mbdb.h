// Loads "Manifest.mbdb", the manifest of backups written before iOS 10, into
// manifest entries. The records are read by mbdb_reader.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "core/backup/manifest.h"

namespace scrivel {

// Turns the records of a Manifest.mbdb image into entries: name = domain +
// "-" + path, fileId = ComputeFileId(name). Records with an empty domain or
// path, and directory records, give no entry; files and links do.
// Returns kOk; kBadFile for a bad header, or for a record that runs past the
// end (the entries before it stay in `out`). `out` is cleared first.
[[nodiscard]] int ParseManifestMbdb(std::span<const std::uint8_t> bytes, std::vector<ManifestEntry>& out);

// Reads the whole file `path` and parses it as above.
// Returns kMbdbUnopenable when the file cannot be opened; kBadFile when an
// empty path is given or the file cannot be read into memory; otherwise as
// ParseManifestMbdb.
[[nodiscard]] int LoadManifestMbdb(const std::filesystem::path& path, std::vector<ManifestEntry>& out);

}  // namespace scrivel
