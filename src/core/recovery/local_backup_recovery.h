// The recovery source over a backup on this computer: reads the backup the
// engine has selected (after decrypting it into the temporary backup root
// when it is encrypted) and runs the category scans on it.
//
// The user's backup folder is only read. The decrypted copy and the preview
// copies are the only files this source causes to be written, and clean-up
// (at construction and destruction) deletes files only inside the work
// folder and the temporary backup root.
#pragma once

#include <system_error>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/recovery/database_prefetch.h"
#include "core/recovery/file_type.h"
#include "core/recovery/iphone_recovery_parse.h"
#include "core/common/scan_progress.h"

namespace scrivel {

class CLocalBackupRecovery : public IPhoneRecoveryParse {
 public:
  // temporaryRoot: the folder (ending in "/") under which an encrypted
  // backup is decrypted, normally ChooseTemporaryRoot's.
  explicit CLocalBackupRecovery(std::string temporaryRoot);
  ~CLocalBackupRecovery() override;
  CLocalBackupRecovery(const CLocalBackupRecovery&) = delete;
  CLocalBackupRecovery& operator=(const CLocalBackupRecovery&) = delete;

  [[nodiscard]] std::error_code Attach(BackupEngine* engine) override;
  [[nodiscard]] std::error_code SetProgressCallback(ProgressCallback callback, void* userData) override;
  int GetState() override { return 0; }
  bool IsLocalBackup() override { return true; }

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

  [[nodiscard]] std::error_code ExtractPreviewFile(const std::string& source, std::string& outTempPath, ProgressCallback callback,
                         void* userData) override;
  [[nodiscard]] std::error_code CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
              void* userData) override;
  [[nodiscard]] std::error_code ExportMessagesCsv(const std::string& csvPath) override;
  [[nodiscard]] std::error_code ExportContactsCsv(const std::string& csvPath) override;

  // The overall percent reported so far (87 after a whole scan of a plain
  // backup, 81 of an encrypted one).
  int Progress() const { return m_progress.progress; }

  // The folder an encrypted backup is decrypted into.
  std::string DecryptionOutputFolder() const;

 private:
  // Paths of the stored databases (empty when the engine cannot form one).
  std::string storedPath(std::string_view fileId) const;
  // The path a stored database is read from: a copy in the work folder
  // with its write-ahead log beside it when the backup holds one
  // (database_with_wal.h), else the stored file; made once per database.
  std::string databasePath(std::string_view fileId);
  std::string callHistoryPath();
  std::string whatsAppChatStoragePath();
  // True when the manifest has an entry for the stored file `fileId`.
  bool listsStoredFile(std::string_view fileId) const;
  // The paths of every stored file the manifest lists (folders and links left out).
  std::vector<std::string> storedFilePaths() const;
  // Decrypts the selected backup into DecryptionOutputFolder() and points the
  // engine at the copy; the decryption's progress lines move the overall
  // percent from 1 to 1 + step.
  [[nodiscard]] std::error_code decryptSelectedBackup(const std::string& password);
  // Notes why the database `what` at `path` gave nothing, after its read
  // returned `result`: missing, empty, a folder..., else damaged.
  void noteDatabaseProblem(const std::string& path, std::string_view what, std::error_code result);
  // Adds a sentence to the note of the current scan.
  void addNote(const std::string& sentence);
  // Why the file `what` at `path` could not be used: its state in the backup
  // folder when that explains it, else the read's result.
  static std::string StoredFileProblemOr(const std::string& path, std::string_view what, std::error_code result);
  // Adds `share` to the progress; the callback's stop wins over `result`.
  [[nodiscard]] std::error_code finishCategory(std::error_code result, int share);
  // Starts reading the larger databases on worker threads (DatabasePrefetch).
  void startPrefetch();
  // The probes of the file scans (taken from the prefetch once); null when none were made.
  const StoredFileProbes* fileProbes();
  void cleanUp();

  BackupEngine* m_engine = nullptr;       // not owned; set by Attach
  std::string m_temporaryRoot;            // ends in "/"; may be empty (no room anywhere)
  ScanProgress m_progress;                // overall percent and the share of one category
  FileTypeDetector m_detector;            // numbers the recognised files of this scan
  std::uint64_t m_messageRowMark = 20000;  // highest message ROWID seen, for the "sms.csv" dump
  std::uint64_t m_contactRowMark = 20000;  // highest contact row id seen, for the "Contacts.csv" dump
  std::vector<FileItem> m_whatsAppFiles;  // collected by ScanAppFiles, handed out by ScanWhatsAppAttachments
  DatabasePrefetch m_prefetch;            // reads started by OpenSource, taken by the scans
  std::optional<StoredFileProbes> m_fileProbes;  // the file probes, once taken from m_prefetch
  std::string m_scanNote;                 // why the current category is empty or short (TakeScanNote)
  std::optional<std::uint64_t> m_missingFiles;  // absent or empty stored files, once counted
  std::map<std::string, std::string, std::less<>> m_databasePaths;  // file id -> path its database is read from
};

}  // namespace scrivel
