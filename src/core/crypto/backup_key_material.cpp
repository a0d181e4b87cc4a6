#include "core/crypto/backup_key_material.h"

#include "core/common/plist_load.h"
#include "core/common/result_codes.h"

namespace scrivel::crypto {
namespace {

// Copies the data value under `key` of dictionary `root`; empty when missing
// or of another type.
std::vector<std::uint8_t> DataValue(plist_t root, const char* key) {
  plist_t item = plist_dict_get_item(root, key);
  if (item == nullptr || plist_get_node_type(item) != PLIST_DATA) return {};
  std::uint64_t length = 0;
  const char* data = plist_get_data_ptr(item, &length);
  if (data == nullptr) return {};
  const auto* begin = reinterpret_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(begin, begin + length);
}

}  // namespace

std::error_code ReadBackupKeyMaterial(std::span<const std::uint8_t> manifestPlist, BackupKeyMaterial& out, std::string& error) {
  out = BackupKeyMaterial{};
  error.clear();
  PlistPtr root;
  std::string problem;
  if (ParseCheckedPlist(manifestPlist, root, problem)) {
    error = "Manifest.plist cannot be used: " + problem;
    return kBadFile;
  }
  if (plist_get_node_type(static_cast<plist_t>(root.get())) != PLIST_DICT) {
    error = "Manifest.plist is not a property-list dictionary";
    return kBadFile;
  }
  const auto node = static_cast<plist_t>(root.get());
  out.isEncrypted = PlistBoolValue(node, "IsEncrypted").value_or(false);
  out.keybag = DataValue(node, "BackupKeyBag");
  out.manifestKey = DataValue(node, "ManifestKey");
  if (out.isEncrypted && out.keybag.empty()) {
    error = "Manifest.plist has no BackupKeyBag";
    return kBadFile;
  }
  return {};
}

}  // namespace scrivel::crypto
