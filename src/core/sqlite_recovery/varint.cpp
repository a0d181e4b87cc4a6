#include "core/sqlite_recovery/varint.h"

#include <algorithm>

#include "core/sqlite_recovery/sqlite_format.h"

namespace scrivel::sqlite_recovery {

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

std::size_t SkipVarints(Bytes bytes, std::size_t offset, std::size_t count, std::size_t end) {
  end = std::min(end, bytes.size());
  std::size_t position = offset;
  for (std::size_t i = 0; i < count; ++i) {
    // A varint ends at its first byte with the top bit clear, or at its ninth byte.
    std::size_t size = 1;
    while (true) {
      if (position + size > end) return 0;  // the varint runs past `end`
      if ((bytes[position + size - 1] & 0x80) == 0 || size == sqlite_format::kMaxVarintSize) break;
      ++size;
    }
    position += size;
  }
  return position - offset;
}

}  // namespace scrivel::sqlite_recovery
