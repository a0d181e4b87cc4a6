// The recovery source over a backup on this computer: reads the backup the
// engine has selected (after decrypting it into the temporary backup root
// when it is encrypted) and runs the category scans on it.
//
// The user's backup folder is only read. The decrypted copy and the preview
// copies are the only files this source causes to be written, and clean-up
// (at construction and destruction) deletes files only inside the work
// folder and the temporary backup root.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/recovery/database_prefetch.h"
#include "core/recovery/file_type.h"
#include "core/recovery/iphone_recovery_parse.h"
#include "core/recovery/scan_progress.h"

namespace scrivel {

class CLocalBuckupRecovery : public IPhoneRecoveryParse {
 public:
  // temporaryRoot: the folder (ending in "/") under which an encrypted
  // backup is decrypted, normally ChooseTemporaryRoot's.
  explicit CLocalBuckupRecovery(std::string temporaryRoot);
  ~CLocalBuckupRecovery() override;
  CLocalBuckupRecovery(const CLocalBuckupRecovery&) = delete;
  CLocalBuckupRecovery& operator=(const CLocalBuckupRecovery&) = delete;

  int Attach(BackupEngine* engine) override;
  int SetProgressCallback(ProgressCallback callback, void* userData) override;
  int GetState() override { return 0; }
  bool IsLocalBackup() override { return true; }

  int OpenSource(const std::string& password) override;

  int ScanMessages(MessagesByHandle& messages) override;
  int ScanMessageAttachments(std::vector<FileItem>& attachments) override;
  int ScanContacts(std::vector<ContactItem>& contacts) override;
  int ScanNotes(std::vector<NoteItem>& notes) override;
  int ScanCallHistory(std::vector<CallItem>& calls) override;
  int ScanPhotos(std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) override;
  int ScanWhatsAppAttachments(std::vector<FileItem>& whatsAppFiles) override;
  int ScanAppFiles(std::vector<FileItem>& appFiles) override;
  int ScanWhatsApp(ChatMessagesBySession& chats) override;

  int ExtractPreviewFile(const std::string& source, std::string& outTempPath, ProgressCallback callback,
                         void* userData) override;
  int CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
              void* userData) override;
  int ExportMessagesCsv(const std::string& csvPath) override;
  int ExportContactsCsv(const std::string& csvPath) override;

  // The overall percent reported so far (87 after a whole scan of a plain
  // backup, 81 of an encrypted one).
  int Progress() const { return m_progress.progress; }

  // The folder an encrypted backup is decrypted into.
  std::string DecryptionOutputFolder() const;

 private:
  // Paths of the stored databases (empty when the engine cannot form one).
  std::string storedPath(std::string_view fileId) const;
  std::string callHistoryPath() const;
  std::string whatsAppChatStoragePath() const;
  // Decrypts the selected backup into DecryptionOutputFolder() and points the
  // engine at the copy; the decryption's progress lines move the overall
  // percent from 1 to 1 + step.
  int decryptSelectedBackup(const std::string& password);
  // Starts reading the larger databases on worker threads (DatabasePrefetch).
  void startPrefetch();
  // The probes of the file scans (taken from the prefetch once); null when none were made.
  const StoredFileProbes* fileProbes();
  void cleanUp() const;

  BackupEngine* m_engine = nullptr;       // not owned; set by Attach
  std::string m_temporaryRoot;            // ends in "/"; may be empty (no room anywhere)
  ScanProgress m_progress;                // overall percent and the share of one category
  FileTypeDetector m_detector;            // numbers the recognised files of this scan
  std::uint64_t m_messageRowMark = 20000;  // highest message ROWID seen, for the "sms.csv" dump
  std::uint64_t m_contactRowMark = 20000;  // highest contact row id seen, for the "Contacts.csv" dump
  std::vector<FileItem> m_whatsAppFiles;  // collected by ScanAppFiles, handed out by ScanWhatsAppAttachments
  DatabasePrefetch m_prefetch;            // reads started by OpenSource, taken by the scans
  std::optional<StoredFileProbes> m_fileProbes;  // the file probes, once taken from m_prefetch
};

}  // namespace scrivel
