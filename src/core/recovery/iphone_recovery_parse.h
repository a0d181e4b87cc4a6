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
// Results: success; the progress callback's answer that asked to stop
// (kCancelled when the user stops); kWrongPassword; kBadFile for a required
// file that is missing or cannot be opened; the manifest readers' codes.
// Every operation runs on the scan thread, one at a time. A category scan
// that fails leaves its category empty and says why in TakeScanNote.
#pragma once

#include <system_error>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/recovery/file_item.h"
#include "core/common/progress.h"
#include "core/recovery/scan_results.h"

namespace scrivel {

class BackupEngine;

class IPhoneRecoveryParse {
 public:
  virtual ~IPhoneRecoveryParse() = default;

  // Binds the source to the process-wide engine (a device source needs none).
  [[nodiscard]] virtual std::error_code Attach(BackupEngine* engine) = 0;
  [[nodiscard]] virtual std::error_code SetProgressCallback(ProgressCallback callback, void* userData) = 0;
  virtual int GetState() = 0;  // a state number, not a result
  virtual bool IsLocalBackup() = 0;

  // Opens the source: decrypts it when needed (password: UTF-8, may be
  // empty) and loads its manifest.
  [[nodiscard]] virtual std::error_code OpenSource(const std::string& password) = 0;

  [[nodiscard]] virtual std::error_code ScanMessages(MessagesByHandle& messages) = 0;
  [[nodiscard]] virtual std::error_code ScanMessageAttachments(std::vector<FileItem>& attachments) = 0;
  [[nodiscard]] virtual std::error_code ScanContacts(std::vector<ContactItem>& contacts) = 0;
  [[nodiscard]] virtual std::error_code ScanNotes(std::vector<NoteItem>& notes) = 0;
  [[nodiscard]] virtual std::error_code ScanCallHistory(std::vector<CallItem>& calls) = 0;
  [[nodiscard]] virtual std::error_code ScanPhotos(std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) = 0;
  [[nodiscard]] virtual std::error_code ScanWhatsAppAttachments(std::vector<FileItem>& whatsAppFiles) = 0;
  [[nodiscard]] virtual std::error_code ScanAppFiles(std::vector<FileItem>& appFiles) = 0;
  [[nodiscard]] virtual std::error_code ScanWhatsApp(ChatMessagesBySession& chats) = 0;

  // Why the category (or both categories) of the last Scan call came out
  // empty or short, as a sentence for the person ("the message database is
  // missing from the backup"); empty when nothing went wrong. Taking it
  // clears it.
  virtual std::string TakeScanNote() = 0;
  // The stored files the manifest lists that are absent from the backup or
  // empty; known once OpenSource succeeded.
  virtual std::uint64_t MissingFileCount() = 0;

  // The preview copy of a stored file in the work folder (file_copy.h).
  [[nodiscard]] virtual std::error_code ExtractPreviewFile(const std::string& source, std::string& outTempPath, ProgressCallback callback,
                                 void* userData) = 0;
  // Copies a stored file out of the backup (file_copy.h).
  [[nodiscard]] virtual std::error_code CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
                      void* userData) = 0;
  // The raw rows of the message and contact tables as "sms.csv" and
  // "Contacts.csv".
  [[nodiscard]] virtual std::error_code ExportMessagesCsv(const std::string& csvPath) = 0;
  [[nodiscard]] virtual std::error_code ExportContactsCsv(const std::string& csvPath) = 0;
};

// Source kinds of CreateRecoverySource.
inline constexpr int kSourceKindDevice = 0;
inline constexpr int kSourceKindLocalBackup = 1;

// Creates the source of `kind` and attaches it to engine; nullptr for a kind
// that has no source here.
std::unique_ptr<IPhoneRecoveryParse> CreateRecoverySource(int kind, BackupEngine* engine);

// The source of the connected device `udid` (empty: the first one the
// multiplexer lists), backed up into the temporary backup root and attached
// to engine; nullptr without an engine.
std::unique_ptr<IPhoneRecoveryParse> CreateDeviceSource(BackupEngine* engine, const std::string& udid);

// Deletes the decrypted and preview copies an earlier run of the local
// backup source left behind (RemoveRunLeftovers), before a source is
// created, so that a front end can say so. Returns how many files were
// deleted.
std::size_t RemoveEarlierRunLeftovers(const BackupEngine& engine);

}  // namespace scrivel
