// Parser for the "Manifest.mbdb" file of backups written before iOS 10: a
// magic, a version and a list of variable-length records, one per stored
// file, folder or link. The records are read in place from one memory block;
// nothing is copied until a field is handed out. The manifest loader
// (manifest_mbdb.h) and the decryption driver both build on this reader.
//
// File layout (all integers big-endian):
//
//   magic:    4 bytes  "mbdb"
//   version:  2 bytes  (5.0 on every known backup; not checked)
//   records:  repeated until the end of the file
//
// Record fields, in order:
//
//   domain:           string
//   path:             string   relative path inside the domain
//   link target:      string   absent unless the record is a symbolic link
//   data hash:        string   SHA-1 of the content; absent on many records
//   encryption key:   string   absent on unencrypted backups; otherwise the
//                              4-byte protection class followed by the
//                              40-byte wrapped file key
//   mode:             uint16   file type in bits 13-15 (kMbdbModeTypeMask)
//   inode:            uint64   stored as two 32-bit words
//   user id:          uint32
//   group id:         uint32
//   modification time uint32   seconds since 1970
//   access time:      uint32
//   creation time:    uint32
//   size:             uint64
//   protection class: uint8
//   property count:   uint8    number of (name string, value string) pairs
//   properties:       property count x (name: string, value: string)
//
// A string is a uint16 length followed by that many bytes. The length 0xFFFF
// (kMbdbAbsentString) marks an absent string and has no bytes after it.
//
// The fixture builder in tests/fixtures/ writes files in this layout.
#pragma once

#include <system_error>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace scrivel {

inline constexpr std::size_t kMbdbMagicSize = 4;
inline constexpr std::size_t kMbdbHeaderSize = kMbdbMagicSize + 2;  // magic + version
inline constexpr std::uint16_t kMbdbAbsentString = 0xFFFF;

// File-type bits of the mode field and the three types a backup records.
inline constexpr std::uint16_t kMbdbModeTypeMask = 0xF000;
inline constexpr std::uint16_t kMbdbModeDirectory = 0x4000;
inline constexpr std::uint16_t kMbdbModeRegularFile = 0x8000;
inline constexpr std::uint16_t kMbdbModeSymbolicLink = 0xA000;

// One record of Manifest.mbdb, every field as stored. Texts are raw bytes
// (UTF-8 in practice); an absent string reads as empty.
struct MbdbRecord {
  std::string domain;                        // e.g. "HomeDomain"
  std::string path;                          // e.g. "Library/SMS/sms.db"
  std::string linkTarget;                    // target of a symbolic link; empty otherwise
  std::vector<std::uint8_t> dataHash;        // usually 20 bytes; empty when absent
  std::vector<std::uint8_t> encryptionKey;   // 44 bytes when present; empty when absent
  std::uint16_t mode = 0;                    // Unix mode; type in kMbdbModeTypeMask
  std::uint64_t inode = 0;
  std::uint32_t userId = 0;
  std::uint32_t groupId = 0;
  std::uint32_t modificationTime = 0;        // seconds since 1970, UTC
  std::uint32_t accessTime = 0;              // seconds since 1970, UTC
  std::uint32_t creationTime = 0;            // seconds since 1970, UTC
  std::uint64_t size = 0;                    // bytes of the file's content
  std::uint8_t protectionClass = 0;          // data-protection class of the file
  std::vector<std::pair<std::string, std::string>> properties;  // (name, value bytes)

  bool IsDirectory() const { return (mode & kMbdbModeTypeMask) == kMbdbModeDirectory; }
  bool IsRegularFile() const { return (mode & kMbdbModeTypeMask) == kMbdbModeRegularFile; }
  bool IsSymbolicLink() const { return (mode & kMbdbModeTypeMask) == kMbdbModeSymbolicLink; }
};

// Checks that `bytes` begins with the "mbdb" magic and holds the version
// field. Returns success, or kBadFile when the magic is wrong or the file is
// shorter than kMbdbHeaderSize.
[[nodiscard]] std::error_code CheckMbdbHeader(std::span<const std::uint8_t> bytes);

// Reads the record that starts at `offset` in `bytes` into `out` and moves
// `offset` to the first byte after it. `out` is overwritten field by field (its
// buffers are reused, so one record object can serve a whole walk).
// Returns success, or kBadFile when the record runs past the end of `bytes` (or
// `offset` is already at or past the end); then `offset` is left unchanged,
// `out` holds no valid record, and nothing beyond the end of `bytes` has been
// read.
[[nodiscard]] std::error_code ReadMbdbRecord(std::span<const std::uint8_t> bytes, std::size_t& offset,
                                 MbdbRecord& out);

// Parses a whole Manifest.mbdb image: checks the header, then reads records
// until the end of `bytes`, appending each to `out` (cleared first).
// Returns success; kBadFile for a bad header (out stays empty) or for a record
// that runs past the end (out keeps every record read before it).
[[nodiscard]] std::error_code ParseMbdb(std::span<const std::uint8_t> bytes, std::vector<MbdbRecord>& out);

}  // namespace scrivel
