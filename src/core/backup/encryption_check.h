// Decides whether a backup is encrypted. Manifest.plist says so in its
// "IsEncrypted" flag; a backup without a usable flag (older backups, or a
// damaged Manifest.plist) is judged by its stored address book instead: a
// plain backup stores it as a SQLite file, an encrypted one stores
// ciphertext under the same identifier.
#pragma once

#include <filesystem>

namespace scrivel {

// True when the backup in `folder` is encrypted:
// 1. The "IsEncrypted" flag of `folder`/Manifest.plist decides when the file
//    is a usable property list that holds the flag. A damaged address book
//    must not make a plain backup look encrypted.
// 2. Otherwise the address book is `folder`/31/31bb7ba8… when the folder
//    holds "Manifest.db" (subfolder layout), else `folder`/31bb7ba8…; when
//    that file cannot be opened, the same name plus ".mddata" is tried. It
//    is encrypted when its first 6 bytes are not "SQLite", compared without
//    regard to case.
// 3. Without either, the backup counts as not encrypted.
bool IsBackupEncrypted(const std::filesystem::path& folder);

}  // namespace scrivel
