// SQLite varints: 1 to 9 bytes, big-endian. While a byte's top bit is set
// its low seven bits are appended and another byte follows; the first byte
// with the top bit clear ends the value, and a ninth byte contributes all
// eight bits. Examples (also the rows of varint_test.cpp):
//
//   0x00                 -> 0, 1 byte
//   0x7F                 -> 127, 1 byte
//   0x81 0x00            -> 128, 2 bytes
//   0xFF 0x7F            -> 16383, 2 bytes
//   0x81 0x80 0x00       -> 16384, 3 bytes
//   0xFF x 8, 0xFF       -> 2^64 - 1, 9 bytes
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/sqlite_recovery/byte_view.h"

namespace scrivel::sqlite_recovery {

struct Varint {
  std::uint64_t value = 0;
  std::size_t size = 0;  // bytes used, 0 when no byte could be read
};

// Decodes one varint from bytes[offset...], reading at most `maxSize` bytes
// and never past the end of `bytes`. When the limit comes first, the bits
// read so far are the value and `size` is the number of bytes read. A limit
// of 0 (or an offset at or past the end) gives value 0 and size 0.
// (The one-byte case, by far the most common, is decoded inline.)
Varint ReadLongVarint(Bytes bytes, std::size_t offset, std::size_t maxSize);
inline Varint ReadVarint(Bytes bytes, std::size_t offset, std::size_t maxSize) {
  if (maxSize != 0 && offset < bytes.size() && bytes[offset] < 0x80) return {bytes[offset], 1};
  return ReadLongVarint(bytes, offset, maxSize);
}

// Total size in bytes of `count` consecutive varints starting at `offset`,
// or 0 when they would run past `end` (which is at most bytes.size()).
// A count of 0 gives 0.
std::size_t SkipVarints(Bytes bytes, std::size_t offset, std::size_t count, std::size_t end);

}  // namespace scrivel::sqlite_recovery
