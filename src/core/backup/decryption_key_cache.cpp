#include "core/backup/decryption_key_cache.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace scrivel {
namespace {

// SHA-256 over the folder path, a zero byte and the password: recognises the
// password without keeping it.
crypto::SecretBytes PasswordDigest(const std::filesystem::path& backupFolder, const std::string& password) {
  crypto::SecretBytes digest(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  std::string input = backupFolder.string();
  input.push_back('\0');
  input += password;
  if (EVP_Digest(input.data(), input.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1) size = 0;
  OPENSSL_cleanse(input.data(), input.size());
  crypto::SecretBytes result(digest.view().first(size));
  return result;
}

}  // namespace

void DecryptionKeyCache::Remember(const std::filesystem::path& backupFolder, const std::string& password,
                                  std::string_view keyHex) {
  m_backupFolder = backupFolder;
  m_passwordDigest = PasswordDigest(backupFolder, password);
  m_keyHex.Assign({reinterpret_cast<const std::uint8_t*>(keyHex.data()), keyHex.size()});
}

std::optional<std::string> DecryptionKeyCache::Find(const std::filesystem::path& backupFolder,
                                                    const std::string& password) const {
  if (m_backupFolder.empty() || m_backupFolder != backupFolder || m_keyHex.empty()) return std::nullopt;
  const crypto::SecretBytes digest = PasswordDigest(backupFolder, password);
  if (digest.size() != m_passwordDigest.size() ||
      CRYPTO_memcmp(digest.data(), m_passwordDigest.data(), digest.size()) != 0) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(m_keyHex.data()), m_keyHex.size());
}

void DecryptionKeyCache::Forget() {
  m_backupFolder.clear();
  m_passwordDigest.Clear();
  m_keyHex.Clear();
}

}  // namespace scrivel
