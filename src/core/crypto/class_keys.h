// The unlocked class keys of a keybag, and the per-file keys they unwrap.
#pragma once

#include <system_error>

#include <array>
#include <cstdint>
#include <map>
#include <span>

#include "core/crypto/keybag.h"
#include "core/crypto/secret_bytes.h"

namespace scrivel::crypto {

// A wrapped per-file key as stored in an MBFile's EncryptionKey, in a
// Manifest.mbdb record and in ManifestKey (44 bytes):
//   protectionClass: uint32, little-endian
//   wrappedKey:      40 bytes, RFC 3394 wrap of a 32-byte key
struct WrappedFileKey {
  std::uint32_t protectionClass = 0;
  std::array<std::uint8_t, kWrappedKeySize> wrappedKey{};
};
inline constexpr std::size_t kWrappedFileKeySize = 4 + kWrappedKeySize;

// Reads exactly kWrappedFileKeySize bytes; false for any other length.
[[nodiscard]] bool ParseWrappedFileKey(std::span<const std::uint8_t> bytes, WrappedFileKey& out);

// Holds the class keys once the password key has opened them. Not copyable;
// after Unlock it is read-only and safe to share between threads.
class ClassKeys {
 public:
  ClassKeys() = default;
  ClassKeys(const ClassKeys&) = delete;
  ClassKeys& operator=(const ClassKeys&) = delete;

  // Unwraps every class key of `keybag` marked as wrapped with the password
  // key. Returns success when at least one opens, kWrongPassword when none passes
  // the integrity check, kBadFile when the keybag has no such key.
  [[nodiscard]] std::error_code Unlock(const Keybag& keybag, std::span<const std::uint8_t> passwordKey);

  // Unwraps `wrapped` with the key of its protection class into `key`.
  // False when that class is not unlocked or the integrity check fails.
  [[nodiscard]] bool UnwrapFileKey(const WrappedFileKey& wrapped, SecretBytes& key) const;

  bool Has(std::uint32_t protectionClass) const { return m_keys.count(protectionClass) != 0; }

 private:
  std::map<std::uint32_t, SecretBytes> m_keys;  // protection class -> 32-byte class key
};

}  // namespace scrivel::crypto
