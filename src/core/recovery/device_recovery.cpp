#include "core/recovery/device_recovery.h"

#include <utility>

#include "core/backup/backup_engine.h"
#include "core/backup/info_plist.h"
#include "core/common/result_codes.h"
#include "core/device/device_backup.h"

namespace scrivel {

CDeviceRecovery::CDeviceRecovery(std::string temporaryRoot, std::string udid)
    : m_temporaryRoot(std::move(temporaryRoot)), m_udid(std::move(udid)), m_local(m_temporaryRoot) {}

CDeviceRecovery::~CDeviceRecovery() {
  if (m_backupFolder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(m_backupFolder, ignored);
  std::filesystem::remove(m_backupFolder.parent_path(), ignored);  // the "device" folder, when empty
}

std::error_code CDeviceRecovery::Attach(BackupEngine* engine) {
  m_engine = engine;
  return m_local.Attach(engine);
}

std::error_code CDeviceRecovery::SetProgressCallback(ProgressCallback callback, void* userData) {
  m_callback = callback;
  m_userData = userData;
  return m_local.SetProgressCallback(callback, userData);
}

std::error_code CDeviceRecovery::OpenSource(const std::string& password) {
  if (m_engine == nullptr) return make_error_code(kBadFile);
  // A second call (another password after a wrong one) reads the backup
  // made by the first instead of backing the device up again.
  if (!m_backupFolder.empty()) return m_local.OpenSource(password);
  device::BackupRequest request;
  request.udid = m_udid;
  request.root = std::filesystem::path(m_temporaryRoot) / "device";
  request.progress = [this](int percent) {
    return m_callback != nullptr ? m_callback(m_userData, percent * kBackupProgressEnd / 100) : std::error_code();
  };
  device::BackupOutcome outcome;
  if (const std::error_code error = device::BackUpDevice(request, outcome); error) return error;
  m_backupFolder = outcome.backupFolder;

  BackupInfo info;
  if (const std::error_code error = ReadBackupInfo(m_backupFolder, info); error) return error;
  m_engine->SelectBackup(info);
  return m_local.OpenSource(password);
}

std::error_code CDeviceRecovery::ScanMessages(MessagesByHandle& messages) { return m_local.ScanMessages(messages); }
std::error_code CDeviceRecovery::ScanMessageAttachments(std::vector<FileItem>& attachments) {
  return m_local.ScanMessageAttachments(attachments);
}
std::error_code CDeviceRecovery::ScanContacts(std::vector<ContactItem>& contacts) { return m_local.ScanContacts(contacts); }
std::error_code CDeviceRecovery::ScanNotes(std::vector<NoteItem>& notes) { return m_local.ScanNotes(notes); }
std::error_code CDeviceRecovery::ScanCallHistory(std::vector<CallItem>& calls) { return m_local.ScanCallHistory(calls); }
std::error_code CDeviceRecovery::ScanPhotos(std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) {
  return m_local.ScanPhotos(cameraRoll, photoStream);
}
std::error_code CDeviceRecovery::ScanWhatsAppAttachments(std::vector<FileItem>& whatsAppFiles) {
  return m_local.ScanWhatsAppAttachments(whatsAppFiles);
}
std::error_code CDeviceRecovery::ScanAppFiles(std::vector<FileItem>& appFiles) { return m_local.ScanAppFiles(appFiles); }
std::error_code CDeviceRecovery::ScanWhatsApp(ChatMessagesBySession& chats) { return m_local.ScanWhatsApp(chats); }
std::string CDeviceRecovery::TakeScanNote() { return m_local.TakeScanNote(); }
std::uint64_t CDeviceRecovery::MissingFileCount() { return m_local.MissingFileCount(); }

std::error_code CDeviceRecovery::ExtractPreviewFile(const std::string& source, std::string& outTempPath,
                                                    ProgressCallback callback, void* userData) {
  return m_local.ExtractPreviewFile(source, outTempPath, callback, userData);
}
std::error_code CDeviceRecovery::CopyOut(const std::string& source, const std::string& destination,
                                         CopyProgressCallback callback, void* userData) {
  return m_local.CopyOut(source, destination, callback, userData);
}
std::error_code CDeviceRecovery::ExportMessagesCsv(const std::string& csvPath) { return m_local.ExportMessagesCsv(csvPath); }
std::error_code CDeviceRecovery::ExportContactsCsv(const std::string& csvPath) { return m_local.ExportContactsCsv(csvPath); }

}  // namespace scrivel
