// Parser for the backup keybag, the `BackupKeyBag` data of Manifest.plist.
// The fixture encryptor in tests/fixtures/backup_encryptor.cpp writes the
// same layout.
//
// The keybag is a flat stream of records; every integer is big-endian:
//
//   tag:    4 ASCII bytes
//   length: uint32, number of value bytes that follow
//   value:  `length` bytes; a 4-byte value is a uint32
//
// The records up to the second "UUID" form the header:
//
//   VERS  keybag version (not checked: devices use several)
//   TYPE  keybag type (1 = backup)
//   UUID  16 bytes, the keybag's own identifier
//   HMCK  not used here
//   WRAP  not used for the header
//   SALT  salt of the PBKDF2-HMAC-SHA1 stage
//   ITER  rounds of the PBKDF2-HMAC-SHA1 stage
//   DPWT  omitted before iOS 10.2; not used
//   DPIC  omitted before iOS 10.2; rounds of the PBKDF2-HMAC-SHA256 stage
//   DPSL  omitted before iOS 10.2; salt of the PBKDF2-HMAC-SHA256 stage
//
// Every later "UUID" opens the record group of one class key:
//
//   UUID  16 bytes
//   CLAS  protection class (1 to 11)
//   WRAP  bit value 2: the key is wrapped with the password key
//   KTYP  key type
//   WPKY  40 bytes: RFC 3394 wrap of the 32-byte class key
//   PBKY  optional public key; not used
#pragma once

#include <system_error>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scrivel::crypto {

inline constexpr std::uint32_t kClassKeyWrappedWithPassword = 2;  // bit of a class key's WRAP value
inline constexpr std::size_t kWrappedKeySize = 40;                // 32-byte key + 8-byte integrity value
// Round counts above these are treated as damage: they would keep a derivation
// busy for minutes. Real backups use 10,000 and 10,000,000.
inline constexpr std::uint32_t kMaxSha1Iterations = 100'000'000;
inline constexpr std::uint32_t kMaxSha256Iterations = 100'000'000;

struct ClassKeyRecord {
  std::uint32_t protectionClass = 0;  // CLAS
  std::uint32_t wrap = 0;             // WRAP bits
  std::uint32_t keyType = 0;          // KTYP
  std::vector<std::uint8_t> wrappedKey;  // WPKY, kWrappedKeySize bytes
};

struct Keybag {
  std::uint32_t version = 0;  // VERS
  std::uint32_t type = 0;     // TYPE
  std::vector<std::uint8_t> uuid;  // header UUID
  std::vector<std::uint8_t> salt;  // SALT
  std::uint32_t iterations = 0;    // ITER
  bool hasDoubleProtection = false;  // true when DPIC and DPSL are present (iOS 10.2 and later)
  std::vector<std::uint8_t> doubleProtectionSalt;  // DPSL
  std::uint32_t doubleProtectionIterations = 0;    // DPIC
  std::vector<ClassKeyRecord> classKeys;  // groups with CLAS and a WPKY of kWrappedKeySize bytes
};

// Parses `bytes` into `out` (cleared first). Returns success, or kBadFile with a
// short reason in `error` when a record runs past the end, a 4-byte field has
// another length, SALT or ITER is missing or zero, only one of DPIC and DPSL is
// present, a round count exceeds its maximum, or no usable class key exists.
// Class key groups without CLAS or with a WPKY of another size are skipped.
[[nodiscard]] std::error_code ParseKeybag(std::span<const std::uint8_t> bytes, Keybag& out, std::string& error);

}  // namespace scrivel::crypto
