// The one object that holds everything about the backups of this computer
// and the backup being scanned: the list of backup folders, the selected
// backup, its manifest, its store layout, the work folder and (for an
// encrypted backup) the folder its decrypted copy was written to.
//
// Opening an encrypted backup, as the recovery source does it:
//   engine.SelectBackup(info);
//   DecryptBackup(...) writes the decrypted files (and, for a Manifest.db
//       backup, "Manifest.db-decypted") into an output folder under the
//       work folder; on success:
//   engine.SetDecryptionOutputFolder(outputFolder);
//   engine.LoadManifest();              // prefers the decrypted manifest
//   engine.StoredFilePath(fileId);      // outputFolder/fileId
// The backup folder itself is only ever read.
//
// Not thread-safe: one thread (the scan) works with it at a time.
#pragma once

#include <system_error>

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/backup/backup_info.h"
#include "core/backup/manifest.h"
#include "core/backup/store_layout.h"

namespace scrivel {

// File names inside a backup folder and the decryption output folder.
inline constexpr char kManifestDbName[] = "Manifest.db";
inline constexpr char kManifestMbdbName[] = "Manifest.mbdb";

class BackupEngine {
 public:
  // Creates the work folder `appDataFolder`/"VantoriciOSRecovery" (with its
  // parents), removes temporary files left by an earlier run
  // (CleanUpTemporaryFiles), and lists `backupsRoot` (ListBackupFolders),
  // which is also the current backup folder until SelectBackup.
  BackupEngine(const std::filesystem::path& appDataFolder, const std::filesystem::path& backupsRoot);
  // Removes the temporary files again.
  ~BackupEngine();
  BackupEngine(const BackupEngine&) = delete;
  BackupEngine& operator=(const BackupEngine&) = delete;

  const std::filesystem::path& WorkFolder() const { return m_workFolder; }
  const std::filesystem::path& BackupsRoot() const { return m_backupsRoot; }

  // Replaces the backup folder list by the entries of `root` (files and
  // folders; names beginning with "." left out) and the byte total by the sum
  // of their file sizes. Returns false, with the list empty, when `root`
  // cannot be listed.
  bool ListBackupFolders(const std::filesystem::path& root);
  const std::vector<std::filesystem::path>& BackupFolders() const { return m_backupFolders; }
  std::uint64_t ByteTotal() const { return m_byteTotal; }

  // Appends to `out` the summary of every listed folder that has a readable
  // Info.plist, in list order; other entries are skipped. Returns success.
  [[nodiscard]] std::error_code ReadAllBackupInfo(std::vector<BackupInfo>& out) const;

  // Makes `info` the selected backup and its folder the current backup
  // folder. Forgets the manifest and any decryption output of the backup
  // selected before.
  void SelectBackup(const BackupInfo& info);
  const BackupInfo& SelectedBackup() const { return m_selected; }
  const std::filesystem::path& CurrentBackupFolder() const { return m_currentFolder; }

  // The folder the decryption tool wrote the selected (encrypted) backup's
  // files into. While it is set and the selected backup is encrypted, stored
  // files are read from there in the flat layout, and a "Manifest.db-decypted"
  // there is loaded instead of the encrypted "Manifest.db".
  void SetDecryptionOutputFolder(const std::filesystem::path& folder);
  const std::filesystem::path& DecryptionOutputFolder() const { return m_decryptionOutputFolder; }

  // Loads the manifest of the current backup folder:
  // - with "Manifest.db": the decrypted manifest when there is one (see
  //   above), else "Manifest.db" (LoadManifestDb);
  // - else "Manifest.mbdb" (LoadManifestMbdb);
  // - neither: kBadFile.
  // Returns the loader's result; the entries read before a failure are kept.
  [[nodiscard]] std::error_code LoadManifest();
  const Manifest& GetManifest() const { return m_manifest; }
  // Whether damage in the manifest hid some of its entries at the last
  // LoadManifest (the intact ones were loaded).
  bool ManifestDamaged() const { return m_manifestDamaged; }
  // Whether the current backup folder holds "Manifest.db" (the iOS 10 and
  // later layout). Set by SelectBackup and by LoadManifest.
  bool HasManifestDb() const { return m_hasManifestDb; }

  StoreLayout Layout() const;
  // The path of the stored file `fileId` under the current layout (see
  // store_layout.h); empty for a malformed identifier. The file may not
  // exist: callers skip files they cannot open.
  std::filesystem::path StoredFilePath(std::string_view fileId) const;

  // Deletes the temporary files the engine's scans leave behind: the preview
  // copies "tmp.jpg", "tmp.wav", "tmp.avi" in the work folder, and the plain
  // files in the decryption output folder. Never deletes anything inside the
  // current backup folder or the backups root.
  void CleanUpTemporaryFiles();

 private:
  std::filesystem::path m_workFolder;              // appData/VantoriciOSRecovery; created at construction
  std::filesystem::path m_backupsRoot;             // folder whose entries are backups
  std::filesystem::path m_currentFolder;           // backup folder files are read from
  std::filesystem::path m_decryptionOutputFolder;  // empty when the selected backup was not decrypted
  BackupInfo m_selected;                           // the backup chosen for the scan
  std::vector<std::filesystem::path> m_backupFolders;  // entries of the backups root, sorted
  std::uint64_t m_byteTotal = 0;                   // bytes of the plain files among them
  Manifest m_manifest;                             // entries in manifest order
  bool m_hasManifestDb = false;                    // current folder holds "Manifest.db"
  bool m_manifestDamaged = false;                  // the last LoadManifest met damage (see ManifestDamaged)
};

}  // namespace scrivel
