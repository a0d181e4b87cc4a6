// Loads "Manifest.mbdb", the manifest of backups written before iOS 10, into
// manifest entries. The records are read by mbdb_reader.h.
#pragma once

#include <system_error>

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "core/backup/manifest.h"

namespace scrivel {

// Turns the records of a Manifest.mbdb image into entries: name = domain +
// "-" + path, fileId = ComputeFileId(name). Records with an empty domain or
// path, and directory records, give no entry; files and links do.
// A damaged record (a flipped byte, a file cut short) ends no walk: the
// records that read cleanly before and after it are kept, and each damaged
// stretch is counted in *damagedRegions when given.
// Returns success; kBadFile for a bad header. `out` is cleared first.
[[nodiscard]] std::error_code ParseManifestMbdb(std::span<const std::uint8_t> bytes, std::vector<ManifestEntry>& out,
                                                std::uint64_t* damagedRegions = nullptr);

// Reads the whole file `path` and parses it as above.
// Returns kMbdbUnopenable when the file cannot be opened; kBadFile when an
// empty path is given or the file cannot be read into memory; otherwise as
// ParseManifestMbdb.
[[nodiscard]] std::error_code LoadManifestMbdb(const std::filesystem::path& path, std::vector<ManifestEntry>& out,
                                               std::uint64_t* damagedRegions = nullptr);

}  // namespace scrivel
