#include "core/sqlite/record_size.h"

#include "core/sqlite/record.h"
#include "core/sqlite/varint.h"

namespace scrivel::sqlite {

std::uint64_t RecordSize(Bytes page, std::size_t offset, std::size_t typeBytes, std::size_t limit, std::size_t columns) {
  const std::uint64_t tooLarge = std::uint64_t{limit} + 1;
  if (offset >= page.size()) return tooLarge;
  if (columns != 0) {
    const std::size_t typeCount = page[offset] != 0 ? columns - 1 : columns;
    typeBytes = SkipVarints(page, offset, typeCount, page.size());
    if (typeBytes == 0 && typeCount != 0) return tooLarge;
  }
  if (typeBytes > page.size() - offset) return tooLarge;
  std::uint64_t total = typeBytes;
  std::size_t position = offset;
  const std::size_t end = offset + typeBytes;
  while (position < end && total <= limit) {
    const Varint serialType = ReadVarint(page, position, end - position);
    position += serialType.size;
    total += SerialTypeValueSize(serialType.value);
  }
  return total;
}

}  // namespace scrivel::sqlite
