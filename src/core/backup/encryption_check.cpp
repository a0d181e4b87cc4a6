#include "core/backup/encryption_check.h"

#include <strings.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/backup/file_bytes.h"
#include "core/backup/stored_databases.h"
#include "core/common/plist_load.h"

namespace scrivel {
namespace {

constexpr std::uint64_t kProbeSize = 512;  // bytes read from the start of the address book
constexpr char kSqlitePrefix[] = "SQLite";
constexpr std::size_t kSqlitePrefixSize = sizeof kSqlitePrefix - 1;

std::filesystem::path AddressBookPath(const std::filesystem::path& folder) {
  const std::string_view fileId = kAddressBookFileId;
  std::error_code error;
  if (std::filesystem::exists(folder / "Manifest.db", error)) {
    return folder / std::string(fileId.substr(0, 2)) / std::string(fileId);
  }
  return folder / std::string(fileId);
}

// Whether the head of the address book says "encrypted"; nothing when no
// address-book file can be opened.
std::optional<bool> AddressBookLooksEncrypted(const std::filesystem::path& folder) {
  const std::filesystem::path path = AddressBookPath(folder);
  std::vector<std::uint8_t> head;
  FileReadError error = ReadFileHead(path, kProbeSize, head);
  if (error == FileReadError::kCannotOpen) {
    std::filesystem::path withSuffix = path;
    withSuffix += ".mddata";
    error = ReadFileHead(withSuffix, kProbeSize, head);
  }
  if (error == FileReadError::kCannotOpen) return std::nullopt;
  // A file too short to hold the prefix (or unreadable) is not a plain
  // SQLite file either.
  if (head.size() < kSqlitePrefixSize) return true;
  return strncasecmp(reinterpret_cast<const char*>(head.data()), kSqlitePrefix, kSqlitePrefixSize) != 0;
}

// The "IsEncrypted" flag of Manifest.plist; nothing when the file is absent,
// refused, or has no such flag.
std::optional<bool> ManifestPlistSaysEncrypted(const std::filesystem::path& folder) {
  PlistPtr root;
  std::string problem;
  if (ReadPlistFile(folder / "Manifest.plist", root, problem)) return std::nullopt;
  return PlistBoolValue(root.get(), "IsEncrypted");
}

}  // namespace

bool IsBackupEncrypted(const std::filesystem::path& folder) {
  if (const std::optional<bool> encrypted = ManifestPlistSaysEncrypted(folder)) return *encrypted;
  return AddressBookLooksEncrypted(folder).value_or(false);
}

}  // namespace scrivel
