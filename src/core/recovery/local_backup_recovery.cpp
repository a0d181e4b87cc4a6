#include "core/recovery/local_backup_recovery.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/backup/backup_decryption.h"
#include "core/backup/backup_engine.h"
#include "core/backup/stored_databases.h"
#include "core/common/app_directory.h"
#include "core/common/result_codes.h"
#include "core/recovery/file_copy.h"
#include "core/recovery/media_scans.h"
#include "core/recovery/owned_files.h"
#include "core/sqlite_recovery/assembly_order.h"
#include "core/sqlite_recovery/call_history.h"
#include "core/sqlite_recovery/contacts_dump.h"
#include "core/sqlite_recovery/messages_dump.h"

namespace scrivel {
namespace {

constexpr std::string_view kChatStorageName = "ChatStorage.sqlite";
constexpr std::string_view kWhatsAppContactsName = "Contacts.sqlite";
// Companions SQLite keeps beside a database; they hold no database header.
constexpr std::string_view kSqliteCompanionSuffixes[] = {"-wal", "-shm", "-journal"};

bool contains(std::string_view text, std::string_view pattern) { return text.find(pattern) != std::string_view::npos; }

bool isSqliteCompanion(std::string_view name) {
  for (std::string_view suffix : kSqliteCompanionSuffixes) {
    if (name.ends_with(suffix)) return true;
  }
  return false;
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// The number of files of an encrypted backup, for the decryption's progress:
// the entries of the backup folder, with each sub-folder counted by its
// entries.
std::uint64_t countBackupFiles(const std::filesystem::path& folder) {
  std::uint64_t count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code inner;
    if (!it->is_directory(inner)) {
      ++count;
      continue;
    }
    for (std::filesystem::directory_iterator sub(it->path(), inner); !inner && sub != end; sub.increment(inner)) ++count;
  }
  return count;
}

}  // namespace

CLocalBuckupRecovery::CLocalBuckupRecovery(std::string temporaryRoot) : m_temporaryRoot(std::move(temporaryRoot)) {}

CLocalBuckupRecovery::~CLocalBuckupRecovery() {
  m_prefetch.Discard();  // the workers may be reading files that the clean-up removes
  cleanUp();
}

int CLocalBuckupRecovery::Attach(BackupEngine* engine) {
  m_prefetch.Discard();
  m_engine = engine;
  cleanUp();
  return kOk;
}

int CLocalBuckupRecovery::SetProgressCallback(ProgressCallback callback, void* userData) {
  m_progress.callback = callback;
  m_progress.userData = userData;
  return kOk;
}

std::string CLocalBuckupRecovery::DecryptionOutputFolder() const {
  if (m_temporaryRoot.empty()) return {};
  return m_temporaryRoot + kDecryptionOutputFolderName + "/";
}

void CLocalBuckupRecovery::cleanUp() const {
  if (m_engine == nullptr) return;
  const std::vector<std::string> owned = {m_engine->WorkFolder().string(), m_temporaryRoot};
  const std::string decryptionFolder = DecryptionOutputFolder();
  if (!decryptionFolder.empty()) RemoveOwnedFilesIn(decryptionFolder, owned);
  for (const char* preview : {"tmp.jpg", "tmp.avi", "tmp.wav"}) {
    RemoveOwnedFile((m_engine->WorkFolder() / preview).string(), owned);
  }
}

int CLocalBuckupRecovery::OpenSource(const std::string& password) {
  if (m_engine == nullptr) return kBadFile;
  m_prefetch.Discard();
  m_fileProbes.reset();
  m_progress.progress = 0;
  m_progress.step = kPlainBackupStep;
  m_progress.Report(0);
  m_whatsAppFiles.clear();
  m_detector.Reset();
  if (m_engine->SelectedBackup().encrypted) {
    m_progress.step = kEncryptedBackupStep;
    const int decrypted = decryptSelectedBackup(password);
    if (decrypted != kOk) return decrypted;
  } else {
    m_progress.progress = 1;
    m_progress.Report(m_progress.progress);
  }
  const int loaded = m_engine->LoadManifest();
  if (loaded == kOk) startPrefetch();
  m_progress.Advance(m_progress.step);
  return loaded;
}

void CLocalBuckupRecovery::startPrefetch() {
  const std::size_t entryCount = m_engine->GetManifest().Entries().size();
  m_prefetch.files.Start({}, [paths = ProbedFileScanPaths(*m_engine), entryCount] {
    return ProbeStoredFiles(paths, entryCount);
  });
  const std::string addressBook = storedPath(kAddressBookFileId);
  const std::string sms = storedPath(kSmsFileId);
  m_prefetch.messages.Start({addressBook, sms},
                            [addressBook, sms] { return sqlite_recovery::ReadMessages(addressBook, sms); });
  m_prefetch.contacts.Start({addressBook}, [addressBook] { return ReadContacts(addressBook); });
  const std::string notes = storedPath(kNotesFileId);
  m_prefetch.notes.Start({notes}, [notes] { return ReadNotes(notes); });
  const std::string calls = callHistoryPath();
  m_prefetch.callHistory.Start({calls, addressBook},
                               [calls, addressBook] { return ReadCallHistory(calls, addressBook); });
  const std::string chatStorage = whatsAppChatStoragePath();
  if (!chatStorage.empty()) {
    m_prefetch.whatsApp.Start({chatStorage}, [chatStorage] { return ReadWhatsApp(chatStorage); });
  }
}

int CLocalBuckupRecovery::decryptSelectedBackup(const std::string& password) {
  if (m_temporaryRoot.empty()) return kBadFile;  // nowhere to put the decrypted copy
  const std::filesystem::path backupFolder = m_engine->SelectedBackup().folderPath;
  DecryptionSetup setup;
  setup.toolPath = std::filesystem::path(GetAppDirectory()) / "tool";
  setup.temporaryRoot = m_temporaryRoot;
  setup.storedFileCount = countBackupFiles(backupFolder);
  std::filesystem::path outputFolder;
  const int result = DecryptBackup(setup, backupFolder, password, m_progress, outputFolder);
  if (result == kOk) m_engine->SetDecryptionOutputFolder(outputFolder);
  return result;
}

const StoredFileProbes* CLocalBuckupRecovery::fileProbes() {
  if (!m_fileProbes) m_fileProbes = m_prefetch.files.Take({});
  return m_fileProbes ? &*m_fileProbes : nullptr;
}

std::string CLocalBuckupRecovery::storedPath(std::string_view fileId) const {
  return m_engine->StoredFilePath(fileId).string();
}

std::string CLocalBuckupRecovery::callHistoryPath() const {
  const std::string storeData = storedPath(kCallHistoryStoreFileId);
  return fileExists(storeData) ? storeData : storedPath(kCallHistoryFileId);
}

std::string CLocalBuckupRecovery::whatsAppChatStoragePath() const {
  std::string chatStorage;
  int matches = 0;
  for (const ManifestEntry& entry : m_engine->GetManifest().Entries()) {
    if (isSqliteCompanion(entry.name)) continue;
    if (contains(entry.name, kChatStorageName)) {
      chatStorage = storedPath(entry.fileId);
      ++matches;
    } else if (contains(entry.name, kWhatsAppContactsName)) {
      ++matches;
    }
    if (matches == 2) break;
  }
  return chatStorage;
}

int CLocalBuckupRecovery::ScanMessages(MessagesByHandle& messages) {
  if (m_engine == nullptr) return kBadFile;
  const int share = m_progress.step / 2;
  const sqlite_recovery::ProgressShare progressShare{m_progress.callback, m_progress.userData, m_progress.progress,
                                                     share};
  const std::string addressBook = storedPath(kAddressBookFileId);
  const std::string sms = storedPath(kSmsFileId);
  std::optional<sqlite_recovery::MessagesReading> reading = m_prefetch.messages.Take({addressBook, sms});
  if (!reading) reading = sqlite_recovery::ReadMessages(addressBook, sms);
  const int result =
      sqlite_recovery::DeliverMessages(std::move(*reading), &messages, progressShare, &m_messageRowMark);
  m_progress.Advance(share);
  return result;
}

int CLocalBuckupRecovery::ScanContacts(std::vector<ContactItem>& contacts) {
  if (m_engine == nullptr) return kBadFile;
  const std::string addressBook = storedPath(kAddressBookFileId);
  // The prefetched list stands for a read into an empty one.
  std::optional<ContactsReading> reading = m_prefetch.contacts.Take({addressBook});
  int result = kOk;
  if (reading && contacts.empty()) {
    contacts = std::move(reading->contacts);
    m_contactRowMark = reading->highestRowId;
    result = reading->result;
  } else {
    result = sqlite_recovery::ParseContacts(addressBook, &contacts, &m_contactRowMark);
  }
  m_progress.Advance(m_progress.step / 2);
  return result;
}

int CLocalBuckupRecovery::ScanCallHistory(std::vector<CallItem>& calls) {
  if (m_engine == nullptr) return kBadFile;
  const std::string callDb = callHistoryPath();
  const std::string addressBook = storedPath(kAddressBookFileId);
  // The prefetched list stands for a read into an empty one.
  std::optional<CallHistoryReading> reading = m_prefetch.callHistory.Take({callDb, addressBook});
  int result = kOk;
  if (reading && calls.empty()) {
    calls = std::move(reading->calls);
    result = reading->result;
  } else {
    result = sqlite_recovery::ParseCallHistory(&calls, callDb, addressBook);
  }
  m_progress.Advance(m_progress.step / 2);
  return result;
}

int CLocalBuckupRecovery::ScanNotes(std::vector<NoteItem>& notes) {
  if (m_engine == nullptr) return kBadFile;
  const std::string notesDb = storedPath(kNotesFileId);
  std::optional<NotesReading> reading = m_prefetch.notes.Take({notesDb});
  if (!reading) reading = ReadNotes(notesDb);
  // The list is replaced by a read that opened the file, as ParseNotes does.
  if (reading->result == kOk) notes = std::move(reading->notes);
  const int result = reading->result;
  m_progress.Advance(m_progress.step / 2);
  return result;
}

int CLocalBuckupRecovery::ScanWhatsApp(ChatMessagesBySession& chats) {
  if (m_engine == nullptr) return kBadFile;
  const std::string chatStorage = whatsAppChatStoragePath();
  if (!chatStorage.empty()) {
    // A backup without WhatsApp has nothing to read; the category stays empty.
    std::optional<WhatsAppReading> reading = m_prefetch.whatsApp.Take({chatStorage});
    if (!reading) reading = ReadWhatsApp(chatStorage);
    sqlite_recovery::AppendGroups(std::move(reading->chats), &chats);
  }
  return m_progress.Advance(m_progress.step);
}

int CLocalBuckupRecovery::ScanPhotos(std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) {
  if (m_engine == nullptr) return kBadFile;
  return scrivel::ScanPhotos(*m_engine, m_progress, cameraRoll, photoStream);
}

int CLocalBuckupRecovery::ScanMessageAttachments(std::vector<FileItem>& attachments) {
  if (m_engine == nullptr) return kBadFile;
  return scrivel::ScanMessageAttachments(*m_engine, m_detector, m_progress, attachments, fileProbes());
}

int CLocalBuckupRecovery::ScanAppFiles(std::vector<FileItem>& appFiles) {
  if (m_engine == nullptr) return kBadFile;
  return scrivel::ScanAppFiles(*m_engine, m_detector, m_progress, appFiles, m_whatsAppFiles, fileProbes());
}

int CLocalBuckupRecovery::ScanWhatsAppAttachments(std::vector<FileItem>& whatsAppFiles) {
  whatsAppFiles = m_whatsAppFiles;
  return m_progress.Advance(m_progress.step);
}

int CLocalBuckupRecovery::ExtractPreviewFile(const std::string& source, std::string& outTempPath,
                                             ProgressCallback callback, void* userData) {
  if (m_engine == nullptr) return kBadFile;
  return scrivel::ExtractPreviewFile(m_engine->WorkFolder().string() + "/", source, outTempPath, callback, userData);
}

int CLocalBuckupRecovery::CopyOut(const std::string& source, const std::string& destination,
                                  CopyProgressCallback callback, void* userData) {
  return scrivel::CopyOut(source, destination, callback, userData);
}

int CLocalBuckupRecovery::ExportMessagesCsv(const std::string& csvPath) {
  if (m_engine == nullptr) return kBadFile;
  return sqlite_recovery::DumpMessageRows(storedPath(kSmsFileId), csvPath, m_messageRowMark);
}

int CLocalBuckupRecovery::ExportContactsCsv(const std::string& csvPath) {
  if (m_engine == nullptr) return kBadFile;
  return sqlite_recovery::DumpContactRows(storedPath(kAddressBookFileId), csvPath, m_contactRowMark);
}

}  // namespace scrivel
