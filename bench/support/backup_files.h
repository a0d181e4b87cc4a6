// The files of a sample backup that a backup of a phone holds too, so that
// a reference (cat, cp, openssl) does the same work as what it is compared
// with: every regular file below the folder except the builder's
// ground-truth file, which no real backup has and no program of ours reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "fixtures/sample_backup.h"

namespace scrivel::bench {

struct BackupSize {
  std::uint64_t bytes = 0;
  std::uint64_t files = 0;
};

inline bool IsGroundTruthFile(const std::filesystem::path& path) {
  return path.filename() == fixtures::kGroundTruthFileName;
}

// Bytes and count of the backup's files, the ground-truth file left out.
inline BackupSize MeasureBackup(const std::filesystem::path& backup) {
  BackupSize size;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(backup)) {
    if (!entry.is_regular_file() || IsGroundTruthFile(entry.path())) continue;
    size.bytes += entry.file_size();
    ++size.files;
  }
  return size;
}

// A shell command that reads every file of the backup once (cat), the
// ground-truth file left out.
inline std::string CatBackupCommand(const std::filesystem::path& backup) {
  return "find '" + backup.string() + "' -type f ! -name '" + fixtures::kGroundTruthFileName +
         "' -exec cat {} + > /dev/null";
}

}  // namespace scrivel::bench
