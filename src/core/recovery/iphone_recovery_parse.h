// The recovery-source interface: one scan reads one source (a local backup,
// or a connected device backed up into a temporary folder first) through
// these operations, so the scan page and the command line run the same
// sequence on either.
//
// Calling order (ScanSequence in scan_sequence.h does it): SetProgressCallback,
// OpenSource, then ScanPhotos, ScanMessages, ScanMessageAttachments,
// ScanContacts, ScanCallHistory, ScanNotes, ScanAppFiles, ScanWhatsApp,
// ScanWhatsAppAttachments (which hands out what ScanAppFiles collected).
// CopyOut and the two CSV exports are used after the scan.
//
// Results: kOk; the progress callback's non-zero answer (kCancelled when the
// user stops); kWrongPassword; kBadFile for a required file that is missing
// or cannot be opened; the manifest readers' codes. Every operation runs on
// the scan thread, one at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/recovery/file_item.h"
#include "core/recovery/progress.h"
#include "core/recovery/scan_results.h"

namespace scrivel {

class BackupEngine;

class IPhoneRecoveryParse {
 public:
  virtual ~IPhoneRecoveryParse() = default;

  // Binds the source to the process-wide engine (a device source needs none).
  virtual int Attach(BackupEngine* engine) = 0;
  virtual int SetProgressCallback(ProgressCallback callback, void* userData) = 0;
  virtual int GetState() = 0;
  virtual bool IsLocalBackup() = 0;

  // Opens the source: decrypts it when needed (password: UTF-8, may be
  // empty) and loads its manifest.
  virtual int OpenSource(const std::string& password) = 0;

  virtual int ScanMessages(MessagesByHandle& messages) = 0;
  virtual int ScanMessageAttachments(std::vector<FileItem>& attachments) = 0;
  virtual int ScanContacts(std::vector<ContactItem>& contacts) = 0;
  virtual int ScanNotes(std::vector<NoteItem>& notes) = 0;
  virtual int ScanCallHistory(std::vector<CallItem>& calls) = 0;
  virtual int ScanPhotos(std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) = 0;
  virtual int ScanWhatsAppAttachments(std::vector<FileItem>& whatsAppFiles) = 0;
  virtual int ScanAppFiles(std::vector<FileItem>& appFiles) = 0;
  virtual int ScanWhatsApp(ChatMessagesBySession& chats) = 0;

  // The preview copy of a stored file in the work folder (file_copy.h).
  virtual int ExtractPreviewFile(const std::string& source, std::string& outTempPath, ProgressCallback callback,
                                 void* userData) = 0;
  // Copies a stored file out of the backup (file_copy.h).
  virtual int CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
                      void* userData) = 0;
  // The raw rows of the message and contact tables as "sms.csv" and
  // "Contacts.csv".
  virtual int ExportMessagesCsv(const std::string& csvPath) = 0;
  virtual int ExportContactsCsv(const std::string& csvPath) = 0;
};

// Source kinds of CreateRecoverySource.
inline constexpr int kSourceKindDevice = 0;
inline constexpr int kSourceKindLocalBackup = 1;

// Creates the source of `kind` and attaches it to engine; nullptr for a kind
// that has no source here.
std::unique_ptr<IPhoneRecoveryParse> CreateRecoverySource(int kind, BackupEngine* engine);

}  // namespace scrivel
