// Writes large manifests for the benchmark: a Manifest.db through SQLite and
// a Manifest.mbdb in the record layout of core/backup/mbdb_reader.h, with
// names shaped like those of a real backup (a few big domains, many app
// domains, deep paths).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace scrivel::bench {

struct SampleName {
  std::string domain;
  std::string relativePath;
};

// The name of entry `index` of the sample manifests; the same index always
// gives the same name.
SampleName SampleNameAt(std::size_t index);

// Write `count` entries. Return false (after a message on stderr) on failure.
bool WriteSampleManifestDb(const std::filesystem::path& path, std::size_t count);
bool WriteSampleManifestMbdb(const std::filesystem::path& path, std::size_t count);

}  // namespace scrivel::bench
