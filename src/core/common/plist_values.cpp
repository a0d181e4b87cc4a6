#include "core/common/plist_values.h"

#include <cstring>

namespace scrivel {
namespace {

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr std::int64_t kPlistEpochInUnixSeconds = 978307200;

plist_t DictionaryItem(plist_t root, const char* key, plist_type type) {
  if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) return nullptr;
  plist_t item = plist_dict_get_item(root, key);
  if (item == nullptr || plist_get_node_type(item) != type) return nullptr;
  return item;
}

}  // namespace

bool IsBinaryPlist(std::span<const std::uint8_t> bytes) {
  static constexpr char kMagic[] = "bplist";
  return bytes.size() >= sizeof kMagic - 1 && std::memcmp(bytes.data(), kMagic, sizeof kMagic - 1) == 0;
}

std::optional<std::string> PlistStringValue(plist_t root, const char* key) {
  plist_t item = DictionaryItem(root, key, PLIST_STRING);
  if (item == nullptr) return std::nullopt;
  std::uint64_t length = 0;
  const char* text = plist_get_string_ptr(item, &length);
  if (text == nullptr) return std::nullopt;
  return std::string(text, static_cast<std::size_t>(length));
}

std::optional<bool> PlistBoolValue(plist_t root, const char* key) {
  plist_t item = DictionaryItem(root, key, PLIST_BOOLEAN);
  if (item == nullptr) return std::nullopt;
  std::uint8_t value = 0;
  plist_get_bool_val(item, &value);
  return value != 0;
}

std::optional<std::int64_t> PlistUnixDateValue(plist_t root, const char* key) {
  plist_t item = DictionaryItem(root, key, PLIST_DATE);
  if (item == nullptr) return std::nullopt;
  std::int32_t seconds = 0;
  std::int32_t microseconds = 0;
  plist_get_date_val(item, &seconds, &microseconds);
  return kPlistEpochInUnixSeconds + seconds;
}

}  // namespace scrivel
