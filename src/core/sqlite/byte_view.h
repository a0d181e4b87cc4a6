// Checked big-endian reads from a byte buffer (a page, a reassembled
// payload). Every read names the offset it wants and fails, instead of
// leaving the buffer, when the bytes are not all there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace scrivel::sqlite {

using Bytes = std::span<const std::uint8_t>;

// True when `size` bytes starting at `offset` lie inside `bytes`.
inline bool HasBytes(Bytes bytes, std::size_t offset, std::size_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

// The 2-byte big-endian value at `offset`, or nothing when it is not inside.
inline std::optional<std::uint16_t> Read16(Bytes bytes, std::size_t offset) {
  if (!HasBytes(bytes, offset, 2)) return std::nullopt;
  return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

// The 4-byte big-endian value at `offset`, or nothing when it is not inside.
inline std::optional<std::uint32_t> Read32(Bytes bytes, std::size_t offset) {
  if (!HasBytes(bytes, offset, 4)) return std::nullopt;
  return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
         (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

// The `size`-byte (0 to 8) big-endian unsigned value at `offset`, or nothing.
inline std::optional<std::uint64_t> ReadUnsigned(Bytes bytes, std::size_t offset, std::size_t size) {
  if (size > 8 || !HasBytes(bytes, offset, size)) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value = (value << 8) | bytes[offset + i];
  return value;
}

}  // namespace scrivel::sqlite
