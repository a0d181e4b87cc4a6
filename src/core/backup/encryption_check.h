// Decides whether a backup is encrypted by looking at its stored address
// book: a plain backup stores it as a SQLite file, an encrypted one stores
// ciphertext under the same identifier.
#pragma once

#include <filesystem>

namespace scrivel {

// True when the backup in `folder` is encrypted:
// 1. The address book is `folder`/31/31bb7ba8… when the folder holds
//    "Manifest.db" (subfolder layout), else `folder`/31bb7ba8…; when that
//    file cannot be opened, the same name plus ".mddata" is tried.
// 2. Encrypted when its first 6 bytes are not "SQLite", compared without
//    regard to case.
// 3. When neither address-book file opens, the "IsEncrypted" flag of the
//    folder's "Manifest.plist" decides; without one the backup counts as not
//    encrypted.
bool IsBackupEncrypted(const std::filesystem::path& folder);

}  // namespace scrivel
