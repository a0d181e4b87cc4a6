// Writes small plain backups with chosen file contents, for the decryption
// tests: a Manifest.db (iOS 10 and later) or Manifest.mbdb (iOS 4 to 9)
// manifest, the stored files, Manifest.plist and Info.plist. The fixture
// encryptor (fixtures/backup_encryptor.h) then encrypts them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace scrivel::decrypt_test {

struct PlainFile {
  std::string domain;
  std::string relativePath;
  std::vector<std::uint8_t> contents;
  std::optional<std::uint64_t> manifestSize;  // Size written to the manifest; default the content length

  std::string FileId() const;
};

enum class PlainManifest { kManifestDb, kManifestMbdb };

// Writes the backup into `dir` (created). Besides `files` the manifest lists a
// folder and a symbolic link, which have no stored file.
void WritePlainBackup(const std::filesystem::path& dir, PlainManifest manifest, const std::vector<PlainFile>& files);

// Contents derived from a seed and a length, so a misplaced byte shows.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed);

}  // namespace scrivel::decrypt_test
