#include "core/apps/assembly_order.h"

#include <algorithm>
#include <cstddef>

namespace scrivel::apps {

namespace {

unsigned char LowerAscii(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

bool HasUpperAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// One record in the sort: its group, the first bytes of its folded text
// and its position.
struct SortEntry {
  std::int64_t group;
  std::uint64_t head;  // bytes 0-7 of the key, big-endian, zero-padded
  std::uint64_t next;  // bytes 8-15
  std::uint32_t position;
};

// Eight bytes of `key` from `offset` as a big-endian number, zero-padded:
// numbers compare as the bytes do, and a tie is settled by the whole key.
std::uint64_t PackedHead(std::string_view key, std::size_t offset) {
  std::uint64_t packed = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::size_t at = offset + i;
    packed = (packed << 8) | (at < key.size() ? static_cast<unsigned char>(key[at]) : 0u);
  }
  return packed;
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

std::vector<std::uint32_t> OrderByGroupThenText(const std::vector<std::int64_t>& groups,
                                                const std::vector<std::string_view>& texts) {
  // Folded copies of the texts that need one, laid end to end; a key is a
  // view of either the text itself or its folded copy. Comparing the keys
  // byte by byte (as unsigned values, a shorter prefix first) is then the
  // same as TextLessIgnoringCase on the texts.
  std::size_t foldedSize = 0;
  for (std::string_view text : texts)
    if (HasUpperAscii(text)) foldedSize += text.size();
  std::string folded;
  folded.reserve(foldedSize);  // no reallocation below: the views into it stay valid
  std::vector<std::string_view> keys;
  keys.reserve(texts.size());
  for (std::string_view text : texts) {
    if (!HasUpperAscii(text)) {
      keys.push_back(text);
      continue;
    }
    const std::size_t start = folded.size();
    for (char c : text) folded.push_back(static_cast<char>(LowerAscii(c)));
    keys.emplace_back(folded.data() + start, text.size());
  }

  // The sort compares the group and the first 16 bytes of each key held
  // side by side, so that most comparisons touch no text; only keys that
  // agree in those compare the whole text, then the position.
  std::vector<SortEntry> entries(texts.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i].group = groups.empty() ? 0 : groups[i];
    entries[i].head = PackedHead(keys[i], 0);
    entries[i].next = PackedHead(keys[i], 8);
    entries[i].position = static_cast<std::uint32_t>(i);
  }
  std::sort(entries.begin(), entries.end(), [&keys](const SortEntry& a, const SortEntry& b) {
    if (a.group != b.group) return a.group < b.group;
    if (a.head != b.head) return a.head < b.head;
    if (a.next != b.next) return a.next < b.next;
    const int compared = keys[a.position].compare(keys[b.position]);
    return compared != 0 ? compared < 0 : a.position < b.position;
  });
  std::vector<std::uint32_t> order;
  order.reserve(entries.size());
  for (const SortEntry& entry : entries) order.push_back(entry.position);
  return order;
}

std::vector<std::uint32_t> OrderIgnoringCase(const std::vector<std::string_view>& texts) {
  return OrderByGroupThenText({}, texts);
}

}  // namespace scrivel::apps
