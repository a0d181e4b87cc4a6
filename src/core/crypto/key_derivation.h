// Turns a backup password into the key that unwraps the keybag's class keys.
#pragma once

#include <system_error>

#include <cstdint>
#include <span>

#include "core/crypto/keybag.h"
#include "core/crypto/secret_bytes.h"

namespace scrivel::crypto {

inline constexpr std::size_t kPasswordKeySize = 32;

// Derives the password key of `keybag` into `key` (kPasswordKeySize bytes):
//   with DPIC/DPSL: k1  = PBKDF2-HMAC-SHA256(password, DPSL, DPIC, 32)
//                   key = PBKDF2-HMAC-SHA1(k1, SALT, ITER, 32)
//   without them:   key = PBKDF2-HMAC-SHA1(password, SALT, ITER, 32)
// The scheme follows the keybag's tags, not the iOS version. Returns success, or
// kBadFile when the library refuses the parameters. The SHA-256 stage takes
// about 3 s at 10,000,000 rounds.
[[nodiscard]] std::error_code DerivePasswordKey(std::span<const std::uint8_t> password, const Keybag& keybag, SecretBytes& key);

// One PBKDF2 run, exposed for the known-answer tests and the benchmark.
enum class PbkdfDigest { kSha1, kSha256 };
[[nodiscard]] std::error_code RunPbkdf2(PbkdfDigest digest, std::span<const std::uint8_t> secret,
                            std::span<const std::uint8_t> salt, std::uint32_t iterations, SecretBytes& key);

}  // namespace scrivel::crypto
