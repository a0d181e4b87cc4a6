#include "core/sqlite_recovery/assembly_order.h"

#include <cstddef>

namespace scrivel::sqlite_recovery {

namespace {

unsigned char LowerAscii(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

}  // namespace

bool TextLessIgnoringCase(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char left = LowerAscii(a[i]);
    const unsigned char right = LowerAscii(b[i]);
    if (left != right) return left < right;
  }
  return a.size() < b.size();
}

}  // namespace scrivel::sqlite_recovery
