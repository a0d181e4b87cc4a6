#include "core/apps/typedstream_text.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "core/common/utf8.h"

namespace scrivel::apps {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t kStreamerVersion = 0x04;
constexpr std::string_view kLittleEndianSignature = "streamtyped";
constexpr std::string_view kStringClass = "NSString";
constexpr std::uint8_t kByteStringMarker[] = {0x84, 0x01, 0x2B};  // new type string "+"
constexpr std::uint8_t kTwoByteTag = 0x81;
constexpr std::uint8_t kFourByteTag = 0x82;
constexpr std::uint8_t kFirstTag = 0x80;  // bytes from here on are tags, not values

// The position just behind the first occurrence of `needle` at or after
// `from`, or nothing.
std::optional<std::size_t> FindAfter(Bytes haystack, std::size_t from, Bytes needle) {
  if (from > haystack.size()) return std::nullopt;
  const auto found = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from), haystack.end(), needle.begin(), needle.end());
  if (found == haystack.end()) return std::nullopt;
  return static_cast<std::size_t>(found - haystack.begin()) + needle.size();
}

Bytes AsBytes(std::string_view text) { return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}; }

bool HasLittleEndianHead(Bytes archive) {
  const std::size_t headSize = 2 + kLittleEndianSignature.size();  // version, signature length, signature
  if (archive.size() < headSize) return false;
  if (archive[0] != kStreamerVersion || archive[1] != kLittleEndianSignature.size()) return false;
  return std::equal(kLittleEndianSignature.begin(), kLittleEndianSignature.end(), archive.begin() + 2);
}

// Reads `size` bytes at `*offset` as a little-endian number and moves past them.
std::optional<std::uint64_t> ReadLittleEndian(Bytes archive, std::size_t* offset, std::size_t size) {
  if (archive.size() - *offset < size) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value |= std::uint64_t{archive[*offset + i]} << (8 * i);
  *offset += size;
  return value;
}

// Reads the length item at `*offset` and moves past it.
std::optional<std::uint64_t> ReadLength(Bytes archive, std::size_t* offset) {
  if (*offset >= archive.size()) return std::nullopt;
  const std::uint8_t head = archive[(*offset)++];
  if (head < kFirstTag) return head;
  if (head == kTwoByteTag) return ReadLittleEndian(archive, offset, 2);
  if (head == kFourByteTag) return ReadLittleEndian(archive, offset, 4);
  return std::nullopt;  // another tag where a length belongs
}

}  // namespace

std::string TypedstreamText(Bytes archive) {
  if (!HasLittleEndianHead(archive)) return {};
  const auto afterClass = FindAfter(archive, 0, AsBytes(kStringClass));
  if (!afterClass) return {};
  const auto afterMarker = FindAfter(archive, *afterClass, kByteStringMarker);
  if (!afterMarker) return {};
  std::size_t offset = *afterMarker;
  const auto length = ReadLength(archive, &offset);
  if (!length || *length > archive.size() - offset) return {};
  std::string text(reinterpret_cast<const char*>(archive.data() + offset), static_cast<std::size_t>(*length));
  if (!IsValidUtf8(text)) return {};
  return text;
}

}  // namespace scrivel::apps
