#include "core/crypto/mbfile_archive.h"

#include "core/common/plist_load.h"
#include "core/common/result_codes.h"

namespace scrivel::crypto {
namespace {

plist_t DictionaryItemOfType(plist_t dictionary, const char* key, plist_type type) {
  if (dictionary == nullptr || plist_get_node_type(dictionary) != PLIST_DICT) return nullptr;
  plist_t item = plist_dict_get_item(dictionary, key);
  if (item == nullptr || plist_get_node_type(item) != type) return nullptr;
  return item;
}

// The object a UID node points at in $objects, or null when out of range.
plist_t ResolveUid(plist_t objects, plist_t uidNode) {
  std::uint64_t index = 0;
  plist_get_uid_val(uidNode, &index);
  if (index >= plist_array_get_size(objects)) return nullptr;
  return plist_array_get_item(objects, static_cast<std::uint32_t>(index));
}

std::uint64_t UnsignedValue(plist_t dictionary, const char* key) {
  plist_t item = DictionaryItemOfType(dictionary, key, PLIST_UINT);
  std::uint64_t value = 0;
  if (item != nullptr) plist_get_uint_val(item, &value);
  return value;
}

// NS.data of an archived NSData, or the object itself when it was stored as
// plain data.
plist_t DataNodeOf(plist_t object) {
  if (object == nullptr) return nullptr;
  if (plist_get_node_type(object) == PLIST_DATA) return object;
  return DictionaryItemOfType(object, "NS.data", PLIST_DATA);
}

std::error_code Fail(std::string& error, const char* reason) {
  error = reason;
  return kBadFile;
}

}  // namespace

std::error_code ParseMbFileArchive(std::span<const std::uint8_t> archive, MbFileProperties& out, std::string& error) {
  out = MbFileProperties{};
  error.clear();
  PlistPtr root;
  std::string problem;
  if (ParseCheckedPlist(archive, root, problem)) {
    error = "file record cannot be used: " + problem;
    return kBadFile;
  }
  const auto top = static_cast<plist_t>(root.get());
  plist_t objects = DictionaryItemOfType(top, "$objects", PLIST_ARRAY);
  plist_t rootUid = DictionaryItemOfType(DictionaryItemOfType(top, "$top", PLIST_DICT), "root", PLIST_UID);
  if (objects == nullptr || rootUid == nullptr) return Fail(error, "file record is not a keyed archive");
  plist_t file = ResolveUid(objects, rootUid);
  if (file == nullptr || plist_get_node_type(file) != PLIST_DICT) return Fail(error, "file record root is invalid");

  out.size = UnsignedValue(file, "Size");
  out.protectionClass = static_cast<std::uint32_t>(UnsignedValue(file, "ProtectionClass"));
  plist_t keyUid = DictionaryItemOfType(file, "EncryptionKey", PLIST_UID);
  if (keyUid == nullptr) return {};
  plist_t data = DataNodeOf(ResolveUid(objects, keyUid));
  if (data == nullptr) return Fail(error, "file record EncryptionKey is invalid");
  std::uint64_t length = 0;
  const char* bytes = plist_get_data_ptr(data, &length);
  if (bytes != nullptr) {
    const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
    out.encryptionKey.assign(begin, begin + length);
  }
  return {};
}

}  // namespace scrivel::crypto
