// The encryption entries of a backup's Manifest.plist (binary or XML):
//
//   IsEncrypted    bool
//   BackupKeyBag   data  the keybag, see keybag.h
//   ManifestKey    data  from iOS 10.2: the wrapped key of Manifest.db
//                        (layout of WrappedFileKey, class_keys.h)
#pragma once

#include <system_error>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scrivel::crypto {

struct BackupKeyMaterial {
  bool isEncrypted = false;               // IsEncrypted; false when absent
  std::vector<std::uint8_t> keybag;       // BackupKeyBag
  std::vector<std::uint8_t> manifestKey;  // ManifestKey; empty when absent
};

// Reads the entries above from the bytes of Manifest.plist into `out`
// (cleared first). Returns success, or kBadFile with a short reason in `error`
// when the bytes are not a property list with a dictionary at the top, or the
// backup is marked encrypted but has no BackupKeyBag.
[[nodiscard]] std::error_code ReadBackupKeyMaterial(std::span<const std::uint8_t> manifestPlist, BackupKeyMaterial& out,
                                        std::string& error);

}  // namespace scrivel::crypto
