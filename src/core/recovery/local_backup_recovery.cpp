#include "core/recovery/local_backup_recovery.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/backup/backup_decryption.h"
#include "core/backup/backup_engine.h"
#include "core/backup/stored_databases.h"
#include "core/common/app_directory.h"
#include "core/common/result_codes.h"
#include "core/recovery/database_with_wal.h"
#include "core/recovery/file_copy.h"
#include "core/recovery/media_scans.h"
#include "core/recovery/owned_files.h"
#include "core/recovery/photo_library.h"
#include "core/recovery/stored_file_check.h"
#include "core/apps/assembly_order.h"
#include "core/apps/call_history.h"
#include "core/apps/contacts_dump.h"
#include "core/apps/messages_dump.h"

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
  return !path.empty() &&
         std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::regular;
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

CLocalBackupRecovery::CLocalBackupRecovery(std::string temporaryRoot) : m_temporaryRoot(std::move(temporaryRoot)) {}

CLocalBackupRecovery::~CLocalBackupRecovery() {
  m_prefetch.Discard();  // the workers may be reading files that the clean-up removes
  cleanUp();
}

std::error_code CLocalBackupRecovery::Attach(BackupEngine* engine) {
  m_prefetch.Discard();
  m_engine = engine;
  cleanUp();
  return {};
}

std::error_code CLocalBackupRecovery::SetProgressCallback(ProgressCallback callback, void* userData) {
  m_progress.callback = callback;
  m_progress.userData = userData;
  return {};
}

std::string CLocalBackupRecovery::DecryptionOutputFolder() const {
  if (m_temporaryRoot.empty()) return {};
  return m_temporaryRoot + kDecryptionOutputFolderName + "/";
}

void CLocalBackupRecovery::cleanUp() {
  m_databasePaths.clear();
  if (m_engine == nullptr) return;
  (void)RemoveRunLeftovers(m_engine->WorkFolder().string(), m_temporaryRoot);
}

std::error_code CLocalBackupRecovery::OpenSource(const std::string& password) {
  if (m_engine == nullptr) return kBadFile;
  m_prefetch.Discard();
  m_fileProbes.reset();
  m_databasePaths.clear();  // a decrypted backup stores its databases elsewhere
  m_progress.progress = 0;
  m_progress.step = kPlainBackupStep;
  m_whatsAppFiles.clear();
  m_detector.Reset();
  m_scanNote.clear();
  m_missingFiles.reset();
  if (const std::error_code stop = m_progress.Report(0); stop) return stop;
  if (m_engine->SelectedBackup().encrypted) {
    m_progress.step = kEncryptedBackupStep;
    const std::error_code decrypted = decryptSelectedBackup(password);
    if (decrypted) return decrypted;
  } else {
    m_progress.progress = 1;
    if (const std::error_code stop = m_progress.Report(m_progress.progress); stop) return stop;
  }
  const std::error_code loaded = m_engine->LoadManifest();
  if (loaded) return loaded;
  if (m_engine->ManifestDamaged()) addNote("the backup's manifest is damaged: only its intact entries were read");
  startPrefetch();
  return m_progress.Advance(m_progress.step);
}

std::string CLocalBackupRecovery::StoredFileProblemOr(const std::string& path, std::string_view what,
                                                     std::error_code result) {
  const std::string problem = StoredFileProblem(CheckStoredFile(path), what);
  return problem.empty() ? std::string(what) + " could not be read (" + result.message() + ")" : problem;
}

std::error_code CLocalBackupRecovery::finishCategory(std::error_code result, int share) {
  const std::error_code stop = m_progress.Advance(share);
  return stop ? stop : result;
}

bool CLocalBackupRecovery::listsStoredFile(std::string_view fileId) const {
  for (const ManifestEntry& entry : m_engine->GetManifest().Entries()) {
    if (entry.fileId == fileId) return true;
  }
  return false;
}

std::string CLocalBackupRecovery::TakeScanNote() { return std::exchange(m_scanNote, {}); }

std::uint64_t CLocalBackupRecovery::MissingFileCount() {
  if (m_missingFiles) return *m_missingFiles;
  if (m_engine == nullptr) return 0;
  std::optional<std::uint64_t> counted = m_prefetch.missingFiles.Take({});
  if (!counted) counted = CountMissingStoredFiles(storedFilePaths());
  m_missingFiles = counted;
  return *counted;
}

std::vector<std::string> CLocalBackupRecovery::storedFilePaths() const {
  std::vector<std::string> paths;
  for (const ManifestEntry& entry : m_engine->GetManifest().Entries()) {
    if (entry.storedFile) paths.push_back(storedPath(entry.fileId));
  }
  return paths;
}

void CLocalBackupRecovery::addNote(const std::string& sentence) {
  if (sentence.empty()) return;
  if (!m_scanNote.empty()) m_scanNote += "; ";
  m_scanNote += sentence;
}

void CLocalBackupRecovery::noteDatabaseProblem(const std::string& path, std::string_view what,
                                               std::error_code result) {
  if (!result || result == kCancelled) return;
  addNote(StoredFileProblemOr(path, what, result));
}

void CLocalBackupRecovery::startPrefetch() {
  const std::size_t entryCount = m_engine->GetManifest().Entries().size();
  m_prefetch.missingFiles.Start({}, [paths = storedFilePaths()] { return CountMissingStoredFiles(paths); });
  m_prefetch.files.Start({}, [paths = ProbedFileScanPaths(*m_engine), entryCount] {
    return ProbeStoredFiles(paths, entryCount);
  });
  const std::string addressBook = databasePath(kAddressBookFileId);
  const std::string sms = databasePath(kSmsFileId);
  m_prefetch.messages.Start({addressBook, sms},
                            [addressBook, sms] { return apps::ReadMessages(addressBook, sms); });
  m_prefetch.contacts.Start({addressBook}, [addressBook] { return ReadContacts(addressBook); });
  const std::string notes = databasePath(kNotesFileId);
  const std::string noteStore = databasePath(kNoteStoreFileId);
  m_prefetch.notes.Start({notes, noteStore}, [notes, noteStore] { return ReadNotes(notes, noteStore); });
  const std::string calls = callHistoryPath();
  m_prefetch.callHistory.Start({calls, addressBook},
                               [calls, addressBook] { return ReadCallHistory(calls, addressBook); });
  const std::string chatStorage = whatsAppChatStoragePath();
  if (!chatStorage.empty()) {
    m_prefetch.whatsApp.Start({chatStorage}, [chatStorage] { return ReadWhatsApp(chatStorage); });
  }
}

std::error_code CLocalBackupRecovery::decryptSelectedBackup(const std::string& password) {
  if (m_temporaryRoot.empty()) return kBadFile;  // nowhere to put the decrypted copy
  const std::filesystem::path backupFolder = m_engine->SelectedBackup().folderPath;
  DecryptionSetup setup;
  setup.toolPath = std::filesystem::path(GetAppDirectory()) / "tool";
  setup.temporaryRoot = m_temporaryRoot;
  setup.storedFileCount = countBackupFiles(backupFolder);
  std::filesystem::path outputFolder;
  const std::error_code result = DecryptBackup(setup, backupFolder, password, m_progress, outputFolder);
  if (!result) m_engine->SetDecryptionOutputFolder(outputFolder);
  return result;
}

const StoredFileProbes* CLocalBackupRecovery::fileProbes() {
  if (!m_fileProbes) m_fileProbes = m_prefetch.files.Take({});
  return m_fileProbes ? &*m_fileProbes : nullptr;
}

std::string CLocalBackupRecovery::storedPath(std::string_view fileId) const {
  return m_engine->StoredFilePath(fileId).string();
}

std::string CLocalBackupRecovery::databasePath(std::string_view fileId) {
  const auto known = m_databasePaths.find(fileId);
  if (known != m_databasePaths.end()) return known->second;
  const std::string path = DatabasePathWithWal(*m_engine, fileId);
  m_databasePaths.emplace(std::string(fileId), path);
  return path;
}

std::string CLocalBackupRecovery::callHistoryPath() {
  const std::string storeData = storedPath(kCallHistoryStoreFileId);
  return databasePath(fileExists(storeData) ? kCallHistoryStoreFileId : kCallHistoryFileId);
}

std::string CLocalBackupRecovery::whatsAppChatStoragePath() {
  std::string chatStorage;
  int matches = 0;
  for (const ManifestEntry& entry : m_engine->GetManifest().Entries()) {
    if (isSqliteCompanion(entry.name)) continue;
    if (contains(entry.name, kChatStorageName)) {
      chatStorage = databasePath(entry.fileId);
      ++matches;
    } else if (contains(entry.name, kWhatsAppContactsName)) {
      ++matches;
    }
    if (matches == 2) break;
  }
  return chatStorage;
}

std::error_code CLocalBackupRecovery::ScanMessages(MessagesByHandle& messages) {
  if (m_engine == nullptr) return kBadFile;
  const int share = m_progress.step / 2;
  const apps::ProgressShare progressShare{m_progress.callback, m_progress.userData, m_progress.progress,
                                                     share};
  const std::string addressBook = databasePath(kAddressBookFileId);
  const std::string sms = databasePath(kSmsFileId);
  std::optional<apps::MessagesReading> reading = m_prefetch.messages.Take({addressBook, sms});
  if (!reading) reading = apps::ReadMessages(addressBook, sms);
  const std::error_code addressBookResult = reading->addressBookResult;
  const bool smsOpened = !reading->openResult;
  const std::error_code result =
      apps::DeliverMessages(std::move(*reading), &messages, progressShare, &m_messageRowMark);
  noteDatabaseProblem(sms, "the message database", result);
  if (smsOpened && addressBookResult) {
    addNote("the messages come without names: " +
            StoredFileProblemOr(addressBook, "the address book", addressBookResult));
  }
  return finishCategory(result, share);
}

std::error_code CLocalBackupRecovery::ScanContacts(std::vector<ContactItem>& contacts) {
  if (m_engine == nullptr) return kBadFile;
  const std::string addressBook = databasePath(kAddressBookFileId);
  // The prefetched list stands for a read into an empty one.
  std::optional<ContactsReading> reading = m_prefetch.contacts.Take({addressBook});
  std::error_code result;
  if (reading && contacts.empty()) {
    contacts = std::move(reading->contacts);
    m_contactRowMark = reading->highestRowId;
    result = reading->result;
  } else {
    result = apps::ParseContacts(addressBook, &contacts, &m_contactRowMark);
  }
  noteDatabaseProblem(addressBook, "the address book", result);
  return finishCategory(result, m_progress.step / 2);
}

std::error_code CLocalBackupRecovery::ScanCallHistory(std::vector<CallItem>& calls) {
  if (m_engine == nullptr) return kBadFile;
  const std::string callDb = callHistoryPath();
  const std::string addressBook = databasePath(kAddressBookFileId);
  // The prefetched list stands for a read into an empty one.
  std::optional<CallHistoryReading> reading = m_prefetch.callHistory.Take({callDb, addressBook});
  std::error_code result;
  std::error_code addressBookResult;
  if (reading && calls.empty()) {
    calls = std::move(reading->calls);
    result = reading->result;
    addressBookResult = reading->addressBookResult;
  } else {
    result = apps::ParseCallHistory(&calls, callDb, addressBook, &addressBookResult);
  }
  noteDatabaseProblem(callDb, "the call history database", result);
  if (!result && addressBookResult) {
    addNote("the calls come without names: " + StoredFileProblemOr(addressBook, "the address book", addressBookResult));
  }
  return finishCategory(result, m_progress.step / 2);
}

std::error_code CLocalBackupRecovery::ScanNotes(std::vector<NoteItem>& notes) {
  if (m_engine == nullptr) return kBadFile;
  const std::string notesDb = databasePath(kNotesFileId);
  const std::string noteStore = databasePath(kNoteStoreFileId);
  std::optional<NotesReading> reading = m_prefetch.notes.Take({notesDb, noteStore});
  if (!reading) reading = ReadNotes(notesDb, noteStore);
  // The list is replaced by a read that opened a file, as ParseNotes does.
  if (!reading->result) notes = std::move(reading->notes);
  const std::error_code result = reading->result;
  noteDatabaseProblem(reading->problemPath, "the notes database", result);
  return finishCategory(result, m_progress.step / 2);
}

std::error_code CLocalBackupRecovery::ScanWhatsApp(ChatMessagesBySession& chats) {
  if (m_engine == nullptr) return kBadFile;
  const std::string chatStorage = whatsAppChatStoragePath();
  if (!chatStorage.empty()) {
    // A backup without WhatsApp has nothing to read; the category stays empty.
    std::optional<WhatsAppReading> reading = m_prefetch.whatsApp.Take({chatStorage});
    if (!reading) reading = ReadWhatsApp(chatStorage);
    noteDatabaseProblem(chatStorage, "the WhatsApp chat database", reading->result);
    apps::AppendGroups(std::move(reading->chats), &chats);
  }
  return finishCategory({}, m_progress.step);
}

std::error_code CLocalBackupRecovery::ScanPhotos(std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) {
  if (m_engine == nullptr) return kBadFile;
  const std::string libraryPath = databasePath(kPhotoLibraryFileId);
  PhotoLibrary library;
  const std::error_code libraryResult = ReadPhotoLibrary(libraryPath, &library);
  const std::error_code result = scrivel::ScanPhotos(*m_engine, m_progress, cameraRoll, photoStream, &library);
  // Backups of systems before the photo library database have no entry for
  // it and nothing to say; a listed one that cannot be read leaves the
  // pictures in Recently Deleted unmarked.
  if (libraryResult && !result && !cameraRoll.empty() && listsStoredFile(kPhotoLibraryFileId)) {
    addNote("the camera roll does not show which pictures are in Recently Deleted: " +
            StoredFileProblemOr(libraryPath, "the photo library database", libraryResult));
  }
  return result;
}

std::error_code CLocalBackupRecovery::ScanMessageAttachments(std::vector<FileItem>& attachments) {
  if (m_engine == nullptr) return kBadFile;
  return scrivel::ScanMessageAttachments(*m_engine, m_detector, m_progress, attachments, fileProbes());
}

std::error_code CLocalBackupRecovery::ScanAppFiles(std::vector<FileItem>& appFiles) {
  if (m_engine == nullptr) return kBadFile;
  return scrivel::ScanAppFiles(*m_engine, m_detector, m_progress, appFiles, m_whatsAppFiles, fileProbes());
}

std::error_code CLocalBackupRecovery::ScanWhatsAppAttachments(std::vector<FileItem>& whatsAppFiles) {
  whatsAppFiles = m_whatsAppFiles;
  return m_progress.Advance(m_progress.step);
}

std::error_code CLocalBackupRecovery::ExtractPreviewFile(const std::string& source, std::string& outTempPath,
                                             ProgressCallback callback, void* userData) {
  if (m_engine == nullptr) return kBadFile;
  return scrivel::ExtractPreviewFile(m_engine->WorkFolder().string() + "/", source, outTempPath, callback, userData);
}

std::error_code CLocalBackupRecovery::CopyOut(const std::string& source, const std::string& destination,
                                  CopyProgressCallback callback, void* userData) {
  return scrivel::CopyOut(source, destination, callback, userData);
}

std::error_code CLocalBackupRecovery::ExportMessagesCsv(const std::string& csvPath) {
  if (m_engine == nullptr) return kBadFile;
  return apps::DumpMessageRows(databasePath(kSmsFileId), csvPath, m_messageRowMark);
}

std::error_code CLocalBackupRecovery::ExportContactsCsv(const std::string& csvPath) {
  if (m_engine == nullptr) return kBadFile;
  return apps::DumpContactRows(databasePath(kAddressBookFileId), csvPath, m_contactRowMark);
}

}  // namespace scrivel
