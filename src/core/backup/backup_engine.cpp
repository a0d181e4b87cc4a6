#include "core/backup/backup_engine.h"

#include <system_error>

#include "core/backup/backup_locations.h"
#include "core/backup/decryption_tool_protocol.h"
#include "core/backup/folder_listing.h"
#include "core/backup/info_plist.h"
#include "core/backup/manifest_db.h"
#include "core/backup/manifest_mbdb.h"
#include "core/common/private_folder.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

// The copies the preview pane makes in the work folder.
constexpr const char* kPreviewCopyNames[] = {"tmp.jpg", "tmp.wav", "tmp.avi"};

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// True when `path` is `folder` or lies below it (after resolving "." , ".."
// and links as far as they exist).
bool IsSameOrInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  if (path.empty() || folder.empty()) return false;
  std::error_code error;
  const std::filesystem::path resolvedPath = std::filesystem::weakly_canonical(path, error);
  if (error) return true;  // cannot tell: treat as inside, so nothing is deleted
  const std::filesystem::path resolvedFolder = std::filesystem::weakly_canonical(folder, error);
  if (error) return true;
  auto pathPart = resolvedPath.begin();
  for (const auto& folderPart : resolvedFolder) {
    if (folderPart.empty()) continue;  // trailing "/" of the folder
    if (pathPart == resolvedPath.end() || *pathPart != folderPart) return false;
    ++pathPart;
  }
  return true;
}

void DeletePlainFilesIn(const std::filesystem::path& folder) {
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code removeError;
    if (it->is_regular_file(removeError)) std::filesystem::remove(it->path(), removeError);
  }
}

}  // namespace

BackupEngine::BackupEngine(const std::filesystem::path& appDataFolder, const std::filesystem::path& backupsRoot)
    : m_workFolder(appDataFolder.empty() ? std::filesystem::path{} : WorkFolderIn(appDataFolder)),
      m_backupsRoot(backupsRoot), m_currentFolder(backupsRoot) {
  // Without a work folder the engine still lists and reads backups; the
  // operations that need it report their own failures.
  if (!m_workFolder.empty()) (void)CreatePrivateFolder(m_workFolder);
  CleanUpTemporaryFiles();
  ListBackupFolders(m_backupsRoot);
}

BackupEngine::~BackupEngine() { CleanUpTemporaryFiles(); }

bool BackupEngine::ListBackupFolders(const std::filesystem::path& root) {
  FolderListing listing;
  const bool listed = ListFolder(root, listing);
  m_backupFolders = std::move(listing.entries);
  m_byteTotal = listing.byteTotal;
  return listed;
}

std::error_code BackupEngine::ReadAllBackupInfo(std::vector<BackupInfo>& out) const {
  scrivel::ReadAllBackupInfo(m_backupFolders, out);
  return {};
}

void BackupEngine::SelectBackup(const BackupInfo& info) {
  m_selected = info;
  m_currentFolder = info.folderPath;
  m_decryptionOutputFolder.clear();
  m_manifest.Clear();
  m_hasManifestDb = FileExists(m_currentFolder / kManifestDbName);
}

void BackupEngine::SetDecryptionOutputFolder(const std::filesystem::path& folder) {
  m_decryptionOutputFolder = folder;
}

std::error_code BackupEngine::LoadManifest() {
  m_manifest.Clear();
  m_hasManifestDb = FileExists(m_currentFolder / kManifestDbName);
  std::vector<ManifestEntry> entries;
  std::error_code result = kBadFile;
  m_manifestDamaged = false;
  if (m_hasManifestDb) {
    const std::filesystem::path decrypted = m_decryptionOutputFolder / kDecryptedManifestName;
    const bool useDecrypted = Layout() == StoreLayout::kDecrypted && FileExists(decrypted);
    result = LoadManifestDb(useDecrypted ? decrypted : m_currentFolder / kManifestDbName, entries, &m_manifestDamaged);
  } else if (FileExists(m_currentFolder / kManifestMbdbName)) {
    std::uint64_t damagedRegions = 0;
    result = LoadManifestMbdb(m_currentFolder / kManifestMbdbName, entries, &damagedRegions);
    m_manifestDamaged = damagedRegions != 0;
  }
  m_manifest.Assign(std::move(entries));
  return result;
}

StoreLayout BackupEngine::Layout() const {
  return ChooseStoreLayout(m_selected.encrypted && !m_decryptionOutputFolder.empty(), m_hasManifestDb);
}

std::filesystem::path BackupEngine::StoredFilePath(std::string_view fileId) const {
  const StoreLayout layout = Layout();
  const std::filesystem::path& folder =
      layout == StoreLayout::kDecrypted ? m_decryptionOutputFolder : m_currentFolder;
  return StoredFilePathIn(folder, layout, fileId);
}

void BackupEngine::CleanUpTemporaryFiles() {
  std::error_code error;
  if (!m_workFolder.empty()) {
    for (const char* name : kPreviewCopyNames) std::filesystem::remove(m_workFolder / name, error);
  }
  // The output folder is set by the decryption step; refuse it if it ever
  // points into a user's backup.
  const std::filesystem::path& output = m_decryptionOutputFolder;
  if (output.empty() || IsSameOrInside(output, m_currentFolder) || IsSameOrInside(output, m_backupsRoot)) return;
  DeletePlainFilesIn(output);
}

}  // namespace scrivel
