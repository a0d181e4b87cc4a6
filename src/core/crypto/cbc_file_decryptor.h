// Streams a stored backup file through AES-256-CBC decryption (all-zero IV,
// PKCS#7 padding) into a plain copy. Memory use is one chunk, whatever the
// file size. The fixture encryptor (tests/fixtures/backup_encryptor.cpp)
// writes what this reads.
//
//   stored file: ciphertext blocks of 16 bytes
//   last plain block: data, then 1 to 16 padding bytes, each holding the
//                     padding length (a whole block of 16 when the data
//                     length is a multiple of 16)
#pragma once

#include <system_error>

#include <cstdint>
#include <filesystem>
#include <span>

namespace scrivel::crypto {

inline constexpr std::size_t kAesBlockSize = 16;
inline constexpr std::size_t kFileKeySize = 32;

// What a decryption found out about one file.
struct DecryptedFileReport {
  std::uint64_t storedSize = 0;         // bytes of the encrypted file
  std::uint64_t plainSize = 0;          // bytes written to the plain copy
  bool paddingValid = false;            // the last block carried correct padding, which was removed
  std::uint64_t unalignedTailSize = 0;  // trailing stored bytes that do not fill a block; not decrypted

  // A damaged file keeps every block that could be decrypted (with the last
  // block unstripped when its padding is wrong): the data before the damage
  // is genuine, and a recovery may still use it.
  bool damaged() const { return !paddingValid || unalignedTailSize != 0; }
};

// Decrypts `source` with the 32-byte `key` into `destination` (created or
// truncated; a symbolic link there is refused). Returns success with `report`
// filled (check report.damaged()), kBadFile when the source cannot be opened
// or the key has the wrong size, kShortRead when the source shrinks while being
// read, or the system's error number when the destination cannot be written.
// On an error other than success the destination is removed.
[[nodiscard]] std::error_code DecryptFileToFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                                    std::span<const std::uint8_t> key, DecryptedFileReport& report);

}  // namespace scrivel::crypto
