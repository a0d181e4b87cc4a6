#include "core/sqlite/database_header.h"

#include <cctype>

#include "core/sqlite/sqlite_format.h"

namespace scrivel::sqlite {

namespace fmt = sqlite_format;

bool HasSqliteMagic(Bytes header) {
  if (!HasBytes(header, 0, fmt::kMagicSize)) return false;
  for (std::size_t i = 0; i < fmt::kMagicSize; ++i) {
    const auto expected = static_cast<unsigned char>(fmt::kMagic[i]);
    if (std::tolower(header[i]) != std::tolower(expected)) return false;
  }
  return true;
}

std::uint32_t PageSizeFromField(std::uint16_t field) {
  const std::uint32_t size = field == fmt::kStoredPageSizeFor65536 ? fmt::kMaxPageSize : field;
  const bool powerOfTwo = (size & (size - 1)) == 0;
  if (size < fmt::kMinPageSize || size > fmt::kMaxPageSize || !powerOfTwo) return 0;
  return size;
}

}  // namespace scrivel::sqlite
