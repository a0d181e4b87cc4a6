#include "core/device/backup_folder_ops.h"

#include <cerrno>
#include <chrono>

namespace scrivel::device {
namespace fs = std::filesystem;

namespace {

constexpr int kLinkNotFound = -6;     // ENOENT as the device link sends it
constexpr int kLinkExists = -7;       // EEXIST as the device link sends it
constexpr int kLinkOtherError = -EFAULT;

std::error_code invalidPath() { return std::make_error_code(std::errc::invalid_argument); }

std::error_code copyRegularFile(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  return error;
}

}  // namespace

fs::path ResolveInside(const fs::path& root, std::string_view relative) {
  const fs::path path(relative);
  if (relative.empty() || path.is_absolute()) return {};
  for (const fs::path& part : path) {
    if (part == "..") return {};
  }
  return root / path;
}

std::error_code CreateBackupFolder(const fs::path& root, std::string_view relative) {
  const fs::path folder = ResolveInside(root, relative);
  if (folder.empty()) return invalidPath();
  std::error_code error;
  fs::create_directories(folder, error);
  return error;
}

std::error_code MoveBackupItem(const fs::path& root, std::string_view from, std::string_view to) {
  const fs::path source = ResolveInside(root, from);
  const fs::path target = ResolveInside(root, to);
  if (source.empty() || target.empty()) return invalidPath();
  std::error_code error;
  fs::remove_all(target, error);  // remove_all never follows a link; it removes the link itself
  if (error) return error;
  fs::rename(source, target, error);
  return error;
}

std::error_code RemoveBackupItem(const fs::path& root, std::string_view relative) {
  const fs::path path = ResolveInside(root, relative);
  if (path.empty()) return invalidPath();
  std::error_code error;
  fs::remove_all(path, error);
  return error;
}

std::error_code CopyBackupItem(const fs::path& root, std::string_view from, std::string_view to) {
  const fs::path source = ResolveInside(root, from);
  const fs::path target = ResolveInside(root, to);
  if (source.empty() || target.empty()) return invalidPath();
  std::error_code error;
  const fs::file_status status = fs::symlink_status(source, error);
  if (error) return error;
  if (fs::is_regular_file(status)) return copyRegularFile(source, target);
  if (!fs::is_directory(status)) return std::make_error_code(std::errc::no_such_file_or_directory);
  fs::create_directories(target, error);
  if (error) return error;
  // One level, as the device asks: the regular files directly inside.
  for (const fs::directory_entry& entry : fs::directory_iterator(source, error)) {
    if (!entry.is_regular_file(error) || entry.is_symlink(error)) continue;
    if (const std::error_code copied = copyRegularFile(entry.path(), target / entry.path().filename()); copied) {
      return copied;
    }
  }
  return error;
}

std::error_code ListBackupFolder(const fs::path& root, std::string_view relative, std::vector<FolderEntry>& entries) {
  entries.clear();
  const fs::path folder = ResolveInside(root, relative);
  if (folder.empty()) return invalidPath();
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    FolderEntry item;
    item.name = entry.path().filename().string();
    const fs::file_status status = entry.symlink_status(error);
    if (error) return error;
    item.isFolder = fs::is_directory(status);
    item.isRegular = fs::is_regular_file(status);
    if (item.isRegular) item.size = entry.file_size(error);
    const fs::file_time_type modified = entry.last_write_time(error);
    if (!error) {
      item.modifiedTime = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::file_clock::to_sys(modified).time_since_epoch())
                              .count();
    }
    error.clear();
    entries.push_back(std::move(item));
  }
  return error;
}

int DeviceLinkErrorNumber(const std::error_code& error) {
  if (!error) return 0;
  if (error == std::errc::no_such_file_or_directory) return kLinkNotFound;
  if (error == std::errc::file_exists) return kLinkExists;
  return kLinkOtherError;
}

}  // namespace scrivel::device
