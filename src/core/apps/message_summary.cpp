#include "core/apps/message_summary.h"

#include <cstdlib>

#include "core/common/plist_load.h"
#include "core/apps/typedstream_text.h"

namespace scrivel::apps {

namespace {

bool IsNonEmptyArray(plist_t node) {
  return node != nullptr && plist_get_node_type(node) == PLIST_ARRAY && plist_array_get_size(node) > 0;
}

// The text of the last version in one part's version array.
std::string LastVersionText(plist_t versions) {
  if (!IsNonEmptyArray(versions)) return {};
  const plist_t last = plist_array_get_item(versions, plist_array_get_size(versions) - 1);
  if (last == nullptr || plist_get_node_type(last) != PLIST_DICT) return {};
  const plist_t body = plist_dict_get_item(last, "t");
  if (body == nullptr || plist_get_node_type(body) != PLIST_DATA) return {};
  std::uint64_t size = 0;
  const char* data = plist_get_data_ptr(body, &size);
  if (data == nullptr) return {};
  return TypedstreamText({reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)});
}

// The last texts of every part in "ec", in the list's order.
std::string EditedText(plist_t parts) {
  std::string joined;
  if (parts == nullptr || plist_get_node_type(parts) != PLIST_DICT) return joined;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(parts, &iter);
  if (iter == nullptr) return joined;
  const std::uint32_t count = plist_dict_get_size(parts);
  for (std::uint32_t i = 0; i < count; ++i) {  // bounded by the entry count
    char* key = nullptr;
    plist_t versions = nullptr;
    plist_dict_next_item(parts, iter, &key, &versions);
    std::free(key);
    if (versions == nullptr) break;
    const std::string text = LastVersionText(versions);
    if (text.empty()) continue;
    if (!joined.empty()) joined += "\n";
    joined += text;
  }
  std::free(iter);
  return joined;
}

}  // namespace

MessageSummary ParseMessageSummary(std::span<const std::uint8_t> bytes) {
  MessageSummary summary;
  if (bytes.empty()) return summary;
  PlistPtr root;
  std::string problem;
  if (ParseCheckedPlist(bytes, root, problem)) return summary;
  if (plist_get_node_type(root.get()) != PLIST_DICT) return summary;
  const plist_t editedParts = plist_dict_get_item(root.get(), "ec");
  summary.edited = IsNonEmptyArray(plist_dict_get_item(root.get(), "ep")) ||
                   (editedParts != nullptr && plist_get_node_type(editedParts) == PLIST_DICT &&
                    plist_dict_get_size(editedParts) > 0);
  summary.unsent = IsNonEmptyArray(plist_dict_get_item(root.get(), "rp"));
  summary.lastText = EditedText(editedParts);
  return summary;
}

}  // namespace scrivel::apps
