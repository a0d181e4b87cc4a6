// The host side of the device-link file requests of a device backup: the
// device names paths relative to the backup root and asks the host to create,
// move, remove, copy and list them. Every path is resolved inside the root
// first; a path that is absolute or climbs out with ".." is refused, and no
// symbolic link is followed. Used by the backup session
// (imobiledevice_backup.cpp); knows nothing of libimobiledevice.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace scrivel::device {

// `root` / `relative`, or an empty path when `relative` is empty, absolute,
// or has a ".." part.
[[nodiscard]] std::filesystem::path ResolveInside(const std::filesystem::path& root, std::string_view relative);

// Creates the folder with its missing parents.
[[nodiscard]] std::error_code CreateBackupFolder(const std::filesystem::path& root, std::string_view relative);

// Renames `from` to `to`, first removing whatever is at `to`.
[[nodiscard]] std::error_code MoveBackupItem(const std::filesystem::path& root, std::string_view from, std::string_view to);

// Removes a file, or a folder with its contents; a missing path is success.
[[nodiscard]] std::error_code RemoveBackupItem(const std::filesystem::path& root, std::string_view relative);

// Copies a regular file, or the regular files directly inside a folder into
// the target folder (created when missing).
[[nodiscard]] std::error_code CopyBackupItem(const std::filesystem::path& root, std::string_view from, std::string_view to);

struct FolderEntry {
  std::string name;
  bool isFolder = false;
  bool isRegular = false;
  std::uint64_t size = 0;         // bytes, regular files only
  std::int64_t modifiedTime = 0;  // seconds since 1970
};

// The entries of a folder, without "." and "..".
[[nodiscard]] std::error_code ListBackupFolder(const std::filesystem::path& root, std::string_view relative,
                                               std::vector<FolderEntry>& entries);

// The device-link error number for a host error: -6 not found, -7 exists,
// -14 (EFAULT) for anything else; 0 for success.
[[nodiscard]] int DeviceLinkErrorNumber(const std::error_code& error);

}  // namespace scrivel::device
