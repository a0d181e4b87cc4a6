// Reads the `file` column of Manifest.db's Files table: a binary property
// list written by NSKeyedArchiver holding one MBFile object.
//
//   $top     dict, "root" = UID of the MBFile in $objects
//   $objects array; the MBFile is a dict with (among others)
//     Size             uint   intended plain length in bytes
//     ProtectionClass  uint
//     EncryptionKey    UID of an object whose NS.data holds the 44-byte
//                      wrapped file key (class_keys.h); absent for
//                      zero-length files
//
// The fixture encryptor (tests/fixtures/backup_encryptor.cpp) adds the
// EncryptionKey entry in this shape.
#pragma once

#include <system_error>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scrivel::crypto {

struct MbFileProperties {
  std::uint64_t size = 0;                   // Size; 0 when absent
  std::uint32_t protectionClass = 0;        // ProtectionClass; 0 when absent
  std::vector<std::uint8_t> encryptionKey;  // NS.data of EncryptionKey; empty when absent
};

// Parses `archive` into `out` (cleared first). Returns success, or kBadFile with
// a short reason in `error` when it is not a keyed archive, the root UID
// points outside $objects or not at a dictionary, or EncryptionKey points
// outside $objects or at an object without data.
[[nodiscard]] std::error_code ParseMbFileArchive(std::span<const std::uint8_t> archive, MbFileProperties& out,
                                     std::string& error);

}  // namespace scrivel::crypto
