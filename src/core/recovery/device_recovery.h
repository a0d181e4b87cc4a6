// The connected-device source: OpenSource backs the device up in full into
// the temporary backup root (device_backup.h), then reads that backup like a
// local one through CLocalBackupRecovery, to which every category scan and
// copy is handed. A device that encrypts its backups is backed up encrypted
// and opened with the password like an encrypted local backup; the device's
// settings are never changed. The backup is deleted when the source goes.
#pragma once

#include <filesystem>
#include <string>

#include "core/recovery/local_backup_recovery.h"

namespace scrivel {

class CDeviceRecovery : public IPhoneRecoveryParse {
 public:
  // temporaryRoot: the temporary backup root (ending in "/"); the backup goes
  // into temporaryRoot + "device/" + udid. udid: the device; empty for the
  // first one the multiplexer lists.
  CDeviceRecovery(std::string temporaryRoot, std::string udid);
  ~CDeviceRecovery() override;
  CDeviceRecovery(const CDeviceRecovery&) = delete;
  CDeviceRecovery& operator=(const CDeviceRecovery&) = delete;

  // Share of the overall progress that the backup takes, percent; the
  // backup's 0..100 is reported as 0..kBackupProgressEnd.
  static constexpr int kBackupProgressEnd = 20;

  // The folder of the device backup once OpenSource has made it; empty before.
  const std::filesystem::path& BackupFolder() const { return m_backupFolder; }

  [[nodiscard]] std::error_code Attach(BackupEngine* engine) override;
  [[nodiscard]] std::error_code SetProgressCallback(ProgressCallback callback, void* userData) override;
  int GetState() override { return 0; }
  bool IsLocalBackup() override { return false; }

  // Backs the device up, selects that backup in the engine and opens it.
  // Called again (after a wrong password), it opens the backup it made.
  // Results: those of BackUpDevice (kDeviceGone, a device error, the
  // progress callback's answer, a system error) or of the local source.
  [[nodiscard]] std::error_code OpenSource(const std::string& password) override;

  [[nodiscard]] std::error_code ScanMessages(MessagesByHandle& messages) override;
  [[nodiscard]] std::error_code ScanMessageAttachments(std::vector<FileItem>& attachments) override;
  [[nodiscard]] std::error_code ScanContacts(std::vector<ContactItem>& contacts) override;
  [[nodiscard]] std::error_code ScanNotes(std::vector<NoteItem>& notes) override;
  [[nodiscard]] std::error_code ScanCallHistory(std::vector<CallItem>& calls) override;
  [[nodiscard]] std::error_code ScanPhotos(std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) override;
  [[nodiscard]] std::error_code ScanWhatsAppAttachments(std::vector<FileItem>& whatsAppFiles) override;
  [[nodiscard]] std::error_code ScanAppFiles(std::vector<FileItem>& appFiles) override;
  [[nodiscard]] std::error_code ScanWhatsApp(ChatMessagesBySession& chats) override;

  std::string TakeScanNote() override;
  std::uint64_t MissingFileCount() override;

  [[nodiscard]] std::error_code ExtractPreviewFile(const std::string& source, std::string& outTempPath,
                                                   ProgressCallback callback, void* userData) override;
  [[nodiscard]] std::error_code CopyOut(const std::string& source, const std::string& destination,
                                        CopyProgressCallback callback, void* userData) override;
  [[nodiscard]] std::error_code ExportMessagesCsv(const std::string& csvPath) override;
  [[nodiscard]] std::error_code ExportContactsCsv(const std::string& csvPath) override;

 private:
  std::string m_temporaryRoot;            // ends in "/"
  std::string m_udid;                     // empty: the first device
  BackupEngine* m_engine = nullptr;       // borrowed; set by Attach
  ProgressCallback m_callback = nullptr;  // the scan's progress callback
  void* m_userData = nullptr;
  std::filesystem::path m_backupFolder;   // the device backup; removed by the destructor
  CLocalBackupRecovery m_local;           // reads the device backup
};

}  // namespace scrivel
