// Reads the one secret line the tool receives on standard input: the backup
// password, or the derived password key in hexadecimal.
#pragma once

#include "core/crypto/secret_bytes.h"

namespace scrivel::decrypt_tool {

inline constexpr std::size_t kMaxSecretLineSize = 4096;  // far above the 256 characters the password box allows

// Reads from `fd` up to the first line feed or the end of input into `secret`
// (without the line feed and without a carriage return before it). Returns
// false when reading fails or no line end comes within kMaxSecretLineSize bytes.
[[nodiscard]] bool ReadSecretLine(int fd, crypto::SecretBytes& secret);

}  // namespace scrivel::decrypt_tool
