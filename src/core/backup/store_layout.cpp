#include "core/backup/store_layout.h"

#include <string>

#include "core/backup/file_id.h"

namespace scrivel {

StoreLayout ChooseStoreLayout(bool decrypted, bool hasManifestDb) {
  if (decrypted) return StoreLayout::kDecrypted;
  if (hasManifestDb) return StoreLayout::kSubfolder;
  return StoreLayout::kFlat;
}

std::filesystem::path StoredFilePathIn(const std::filesystem::path& folder, StoreLayout layout,
                                       std::string_view fileId) {
  if (!IsFileId(fileId)) return {};
  const std::string name(fileId);
  if (layout == StoreLayout::kSubfolder) return folder / name.substr(0, 2) / name;
  return folder / name;
}

}  // namespace scrivel
