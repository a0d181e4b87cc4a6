// Where a backup keeps the content of a stored file, by the file's
// identifier F and the folder B files are read from:
//
//   layout     chosen when                              path of F
//   decrypted  the backup is encrypted and decrypted     B/F  (B: the decryption output folder)
//   subfolder  the backup folder holds "Manifest.db"     B/F[0..2]/F
//   flat       otherwise (Manifest.mbdb backups)         B/F
//
// The rule is tested in this order: a decrypted copy of a Manifest.db backup
// is flat.
#pragma once

#include <filesystem>
#include <string_view>

namespace scrivel {

enum class StoreLayout {
  kDecrypted,  // flat, in the decryption output folder
  kSubfolder,  // two-character subfolders (iOS 10 and later)
  kFlat,       // all files in the backup folder (before iOS 10)
};

StoreLayout ChooseStoreLayout(bool decrypted, bool hasManifestDb);

// The path of the stored file `fileId` in `folder` under `layout`. Returns an
// empty path when `fileId` is not 40 lowercase hex digits: identifiers come
// from the manifest, and one such as "../x" must not lead out of the folder.
std::filesystem::path StoredFilePathIn(const std::filesystem::path& folder, StoreLayout layout,
                                       std::string_view fileId);

}  // namespace scrivel
