#include "core/recovery/owned_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/backup/backup_decryption.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

fs::path normalised(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) return {};
  return absolute;
}

bool isOwned(const std::string& path, const std::vector<std::string>& ownedFolders, bool allowFolderItself) {
  const fs::path target = normalised(path);
  if (target.empty()) return false;
  return std::any_of(ownedFolders.begin(), ownedFolders.end(), [&](const std::string& folder) {
    if (folder.empty()) return false;
    if (allowFolderItself && target == normalised(folder)) return true;
    return IsInsideFolder(path, folder);
  });
}

}  // namespace

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  const fs::path target = normalised(path);
  const fs::path base = normalised(folder);
  if (target.empty() || base.empty()) return false;
  const fs::path relative = target.lexically_relative(base);
  if (relative.empty() || relative == ".") return false;
  return *relative.begin() != "..";
}

bool RemoveOwnedFile(const std::string& path, const std::vector<std::string>& ownedFolders) {
  if (!isOwned(path, ownedFolders, false)) return false;
  std::error_code ignored;
  return fs::remove(path, ignored);
}

std::size_t RemoveOwnedFilesIn(const std::string& folder, const std::vector<std::string>& ownedFolders) {
  if (!isOwned(folder, ownedFolders, true)) return 0;
  std::size_t removed = 0;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored) && !entry.is_symlink(ignored) && fs::remove(entry.path(), ignored)) ++removed;
  }
  return removed;
}

std::size_t RemoveRunLeftovers(const std::string& workFolder, const std::string& temporaryRoot) {
  const std::vector<std::string> owned = {workFolder, temporaryRoot};
  std::size_t removed = 0;
  if (!temporaryRoot.empty()) {
    removed += RemoveOwnedFilesIn((fs::path(temporaryRoot) / kDecryptionOutputFolderName).string(), owned);
  }
  for (const char* preview : {"tmp.jpg", "tmp.avi", "tmp.wav"}) {
    if (RemoveOwnedFile((fs::path(workFolder) / preview).string(), owned)) ++removed;
  }
  return removed;
}

}  // namespace scrivel
