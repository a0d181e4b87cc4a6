#include "core/crypto/key_derivation.h"

#include <climits>

#include <openssl/evp.h>

#include "core/common/result_codes.h"

namespace scrivel::crypto {

std::error_code RunPbkdf2(PbkdfDigest digest, std::span<const std::uint8_t> secret, std::span<const std::uint8_t> salt,
              std::uint32_t iterations, SecretBytes& key) {
  key.Clear();
  if (iterations == 0 || iterations > INT_MAX || secret.size() > INT_MAX || salt.size() > INT_MAX) return kBadFile;
  key = SecretBytes(kPasswordKeySize);
  const EVP_MD* md = digest == PbkdfDigest::kSha256 ? EVP_sha256() : EVP_sha1();
  // An empty span may carry a null pointer; the library wants a valid one.
  static const std::uint8_t kEmpty = 0;
  const char* secretData = secret.empty() ? reinterpret_cast<const char*>(&kEmpty)
                                          : reinterpret_cast<const char*>(secret.data());
  const unsigned char* saltData = salt.empty() ? &kEmpty : salt.data();
  const int ok = PKCS5_PBKDF2_HMAC(secretData, static_cast<int>(secret.size()), saltData, static_cast<int>(salt.size()),
                                   static_cast<int>(iterations), md, static_cast<int>(key.size()), key.data());
  if (ok != 1) {
    key.Clear();
    return kBadFile;
  }
  return {};
}

std::error_code DerivePasswordKey(std::span<const std::uint8_t> password, const Keybag& keybag, SecretBytes& key) {
  key.Clear();
  if (!keybag.hasDoubleProtection) {
    return RunPbkdf2(PbkdfDigest::kSha1, password, keybag.salt, keybag.iterations, key);
  }
  SecretBytes firstStage;
  if (const std::error_code rc = RunPbkdf2(PbkdfDigest::kSha256, password, keybag.doubleProtectionSalt,
                               keybag.doubleProtectionIterations, firstStage);
      rc) {
    return rc;
  }
  return RunPbkdf2(PbkdfDigest::kSha1, firstStage.view(), keybag.salt, keybag.iterations, key);
}

}  // namespace scrivel::crypto
