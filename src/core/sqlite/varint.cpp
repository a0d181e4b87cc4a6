#include "core/sqlite/varint.h"

#include <algorithm>

#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

Varint ReadLongVarint(Bytes bytes, std::size_t offset, std::size_t maxSize) {
  Varint result;
  if (offset >= bytes.size()) return result;
  const std::size_t limit = std::min({maxSize, bytes.size() - offset, sqlite_format::kMaxVarintSize});
  for (std::size_t i = 0; i < limit; ++i) {
    const std::uint8_t byte = bytes[offset + i];
    result.size = i + 1;
    if (i == sqlite_format::kMaxVarintSize - 1) {
      result.value = (result.value << 8) | byte;
      return result;
    }
    result.value = (result.value << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) return result;
  }
  return result;
}

std::size_t LongVarintSize(Bytes bytes, std::size_t position, std::size_t end) {
  // A varint ends at its first byte with the top bit clear, or at its ninth byte.
  for (std::size_t size = 1; position + size <= end; ++size) {
    if ((bytes[position + size - 1] & 0x80) == 0 || size == sqlite_format::kMaxVarintSize) return size;
  }
  return 0;
}

}  // namespace scrivel::sqlite
