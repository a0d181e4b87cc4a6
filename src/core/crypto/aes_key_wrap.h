// RFC 3394 AES key wrap with the default integrity value A6A6A6A6A6A6A6A6,
// as used for the keybag's class keys and for every per-file key.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/crypto/secret_bytes.h"

namespace scrivel::crypto {

// Unwraps `wrapped` (n + 8 bytes, n a multiple of 8, at least 16) with the
// 16-, 24- or 32-byte `kek` into `key` (n bytes). Returns false, leaving `key`
// empty, when the sizes are wrong or the integrity check fails; with a correct
// ciphertext the latter means the key-encryption key is wrong.
[[nodiscard]] bool UnwrapKey(std::span<const std::uint8_t> kek, std::span<const std::uint8_t> wrapped, SecretBytes& key);

// Wraps `key` (a multiple of 8 bytes, at least 16) with `kek`; `wrapped` gets
// key.size() + 8 bytes. Returns false on wrong sizes. Used by the fixture
// encryptor and the tests.
[[nodiscard]] bool WrapKey(std::span<const std::uint8_t> kek, std::span<const std::uint8_t> key,
                           std::vector<std::uint8_t>& wrapped);

}  // namespace scrivel::crypto
