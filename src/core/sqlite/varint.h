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

#include "core/sqlite/byte_view.h"

namespace scrivel::sqlite {

struct Varint {
  std::uint64_t value = 0;
  std::size_t size = 0;  // bytes used, 0 when no byte could be read
};

// Decodes one varint from bytes[offset...], reading at most `maxSize` bytes
// and never past the end of `bytes`. When the limit comes first, the bits
// read so far are the value and `size` is the number of bytes read. A limit
// of 0 (or an offset at or past the end) gives value 0 and size 0.
// (The one- and two-byte cases, by far the most common, are decoded inline.)
Varint ReadLongVarint(Bytes bytes, std::size_t offset, std::size_t maxSize);
inline Varint ReadVarint(Bytes bytes, std::size_t offset, std::size_t maxSize) {
  if (maxSize != 0 && offset < bytes.size()) {
    const std::uint8_t first = bytes[offset];
    if (first < 0x80) return {first, 1};
    if (maxSize >= 2 && bytes.size() - offset >= 2 && bytes[offset + 1] < 0x80)
      return {(std::uint64_t{first & 0x7Fu} << 7) | bytes[offset + 1], 2};
  }
  return ReadLongVarint(bytes, offset, maxSize);
}

// Size of the varint at `position`, or 0 when it runs past `end` (at most
// bytes.size()). SkipVarints calls it for the varints longer than two bytes.
std::size_t LongVarintSize(Bytes bytes, std::size_t position, std::size_t end);

// Total size in bytes of `count` consecutive varints starting at `offset`,
// or 0 when they would run past `end` (which is at most bytes.size()).
// A count of 0 gives 0. (Inline, with one- and two-byte varints stepped
// over here: serial types are mostly that short.)
inline std::size_t SkipVarints(Bytes bytes, std::size_t offset, std::size_t count, std::size_t end) {
  if (end > bytes.size()) end = bytes.size();
  std::size_t position = offset;
  for (std::size_t i = 0; i < count; ++i) {
    if (position >= end) return 0;  // the varint runs past `end`
    if (bytes[position] < 0x80) {
      ++position;
      continue;
    }
    if (end - position >= 2 && bytes[position + 1] < 0x80) {
      position += 2;
      continue;
    }
    const std::size_t size = LongVarintSize(bytes, position, end);
    if (size == 0) return 0;
    position += size;
  }
  return position - offset;
}

}  // namespace scrivel::sqlite
