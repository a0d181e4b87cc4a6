// Writes the plain copy of a backup's Manifest.db into the output folder, so
// the backup folder itself is never written.
#pragma once

#include <system_error>

#include <filesystem>
#include <string>

#include "core/crypto/backup_key_material.h"
#include "core/crypto/class_keys.h"
#include "tools/decrypt/tool_console.h"

namespace scrivel::decrypt_tool {

// Writes `manifestDb` as plain SQLite to `destination`: decrypted with the key
// unwrapped from ManifestKey (iOS 10.2 and later), or copied as it is when it
// already starts with the SQLite header (iOS 10.0 and 10.1 leave it plain).
// Returns success, or kBadFile with `error` set when there is no ManifestKey for an
// encrypted manifest, the key does not unwrap, or the result is not a database;
// an errno value when the copy cannot be written.
[[nodiscard]] std::error_code WritePlainManifestDb(const std::filesystem::path& manifestDb, const std::filesystem::path& destination,
                                       const crypto::BackupKeyMaterial& keyMaterial,
                                       const crypto::ClassKeys& classKeys, ToolConsole& console, std::string& error);

}  // namespace scrivel::decrypt_tool
