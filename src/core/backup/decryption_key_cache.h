// Remembers the password key the decryption tool derived for the last backup
// opened, so that opening it again with the same password skips the
// 3-second derivation (the tool takes the key with --key-stdin). The password
// itself is not kept: only a salted digest to recognise it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/crypto/secret_bytes.h"

namespace scrivel {

class DecryptionKeyCache {
 public:
  DecryptionKeyCache() = default;
  DecryptionKeyCache(const DecryptionKeyCache&) = delete;
  DecryptionKeyCache& operator=(const DecryptionKeyCache&) = delete;

  // Keeps `keyHex` (64 hex digits) for `backupFolder` opened with `password`,
  // replacing what was kept before.
  void Remember(const std::filesystem::path& backupFolder, const std::string& password, std::string_view keyHex);
  // The key kept for the same folder and password; nothing otherwise.
  std::optional<std::string> Find(const std::filesystem::path& backupFolder, const std::string& password) const;
  void Forget();

 private:
  std::filesystem::path m_backupFolder;  // empty when nothing is kept
  crypto::SecretBytes m_passwordDigest;  // SHA-256 of folder and password
  crypto::SecretBytes m_keyHex;          // the key as the tool prints it
};

}  // namespace scrivel
