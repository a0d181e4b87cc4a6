#include "core/recovery/database_with_wal.h"

#include <filesystem>
#include <system_error>

#include "core/backup/backup_engine.h"
#include "core/backup/manifest.h"
#include "core/recovery/file_copy.h"

namespace scrivel {

namespace {

constexpr std::string_view kWalSuffix = "-wal";

bool IsNonEmptyFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)) &&
         std::filesystem::file_size(path, error) > 0 && !error;
}

}  // namespace

std::string DatabasePathWithWal(const BackupEngine& engine, std::string_view fileId) {
  const std::filesystem::path storedDatabase = engine.StoredFilePath(fileId);
  const ManifestEntry* database = engine.GetManifest().FindByFileId(fileId);
  if (database == nullptr || engine.WorkFolder().empty()) return storedDatabase.string();
  const ManifestEntry* wal = engine.GetManifest().FindByName(database->name + std::string(kWalSuffix));
  if (wal == nullptr || !wal->storedFile) return storedDatabase.string();
  const std::filesystem::path storedWal = engine.StoredFilePath(wal->fileId);
  if (!IsNonEmptyFile(storedWal)) return storedDatabase.string();

  const std::filesystem::path copy = engine.WorkFolder() / std::string(fileId);
  const std::string walCopy = copy.string() + std::string(kWalSuffix);
  if (CopyOut(storedDatabase.string(), copy.string(), nullptr, nullptr) ||
      CopyOut(storedWal.string(), walCopy, nullptr, nullptr)) {
    std::error_code ignored;
    std::filesystem::remove(copy, ignored);
    std::filesystem::remove(walCopy, ignored);
    return storedDatabase.string();
  }
  return copy.string();
}

}  // namespace scrivel
