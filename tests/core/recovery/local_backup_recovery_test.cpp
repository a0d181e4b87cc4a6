#include "core/recovery/local_backup_recovery.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "core/backup/backup_engine.h"
#include "core/backup/info_plist.h"
#include "core/common/result_codes.h"
#include "core/recovery/scan_sequence.h"
#include "fixtures/backup_encryptor.h"
#include "fixtures/sample_backup.h"
#include "fixtures/stored_databases.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;
using fixtures::GroundTruth;

constexpr const char* kPassword = "correct horse";

// Every file below a folder: its bytes and modification time.
using FolderSnapshot = std::map<std::string, std::pair<std::string, fs::file_time_type>>;

FolderSnapshot snapshotOf(const fs::path& folder) {
  FolderSnapshot snapshot;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    std::string bytes;
    if (entry.is_regular_file()) {
      std::ifstream file(entry.path(), std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    snapshot[fs::relative(entry.path(), folder).string()] = {bytes, entry.last_write_time()};
  }
  return snapshot;
}

void setWritable(const fs::path& folder, bool writable) {
  const auto perms = writable ? fs::perms::owner_write : fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  const auto option = writable ? fs::perm_options::add : fs::perm_options::remove;
  fs::permissions(folder, perms, option);
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) fs::permissions(entry.path(), perms, option);
}

// The three sample backups, built once for the whole suite: modern, legacy,
// and the modern one encrypted with kPassword.
class LocalBackupRecoveryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = fs::temp_directory_path() / ("scrivel-local-" + std::to_string(std::random_device{}()));
    fixtures::SampleBackupOptions modern;
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "modern", modern, &s_modernTruth));
    fixtures::SampleBackupOptions legacy;
    legacy.layout = fixtures::StoreLayout::Legacy;
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "legacy", legacy, &s_legacyTruth));
    fixtures::BackupEncryptionOptions encryption;
    encryption.password = kPassword;
    ASSERT_FALSE(fixtures::EncryptBackup(s_root / "modern", s_root / "encrypted", encryption));
    for (const char* name : {"modern", "legacy", "encrypted"}) fs::remove(s_root / name / "ground-truth.json");
  }
  static void TearDownTestSuite() {
    setWritable(s_root, true);
    fs::remove_all(s_root);
  }

  void SetUp() override {
    m_appData = s_root / ("appdata-" + std::to_string(std::random_device{}()));
    m_engine = std::make_unique<BackupEngine>(m_appData, s_root / "no-backups-root");
  }
  void TearDown() override {
    m_engine.reset();
    fs::remove_all(m_appData);
  }

  std::unique_ptr<CLocalBackupRecovery> sourceFor(const std::string& backup) {
    BackupInfo info;
    EXPECT_FALSE(ReadBackupInfo(s_root / backup, info));
    m_engine->SelectBackup(info);
    auto source = std::make_unique<CLocalBackupRecovery>((m_appData / "tmp-root").string() + "/");
    source->Attach(m_engine.get());
    return source;
  }

  static fs::path s_root;
  static GroundTruth s_modernTruth;
  static GroundTruth s_legacyTruth;
  fs::path m_appData;
  std::unique_ptr<BackupEngine> m_engine;
};

fs::path LocalBackupRecoveryTest::s_root;
GroundTruth LocalBackupRecoveryTest::s_modernTruth;
GroundTruth LocalBackupRecoveryTest::s_legacyTruth;

// Counts progress reports; can answer kCancelled from a chosen report on.
struct ProgressLog {
  int last = 0;
  int calls = 0;
  int cancelFromCall = -1;
  static std::error_code Record(void* userData, int percent) {
    auto* log = static_cast<ProgressLog*>(userData);
    log->last = percent;
    ++log->calls;
    return log->cancelFromCall >= 0 && log->calls >= log->cancelFromCall ? kCancelled : std::error_code{};
  }
};

std::size_t listedFiles(const GroundTruth& truth, std::string_view category) {
  std::size_t count = 0;
  for (const auto& file : truth.files) count += file.category == category && file.listed ? 1 : 0;
  return count;
}

std::size_t liveRecords(const GroundTruth& truth, std::string_view category, std::string_view table) {
  std::size_t count = 0;
  for (const auto* record : truth.RecordsOf(category, table)) count += record->deleted ? 0 : 1;
  return count;
}

std::size_t filesOf(const FilesByApp& apps) {
  std::size_t count = 0;
  for (const auto& [app, files] : apps) count += files.size();
  return count;
}

template <typename Map>
std::size_t recordsOf(const Map& conversations) {
  std::size_t count = 0;
  for (const auto& [key, messages] : conversations) count += messages.size();
  return count;
}

TEST_F(LocalBackupRecoveryTest, EveryFixtureScansCompletelyWithTheFixedProgressTotals) {
  const struct {
    const char* backup;
    const GroundTruth* truth;
    std::string password;
    int expectedProgress;  // 1 + the shares of the open and the nine scans
  } cases[] = {
      {"modern", &s_modernTruth, "", 87},
      {"legacy", &s_legacyTruth, "", 87},
      {"encrypted", &s_modernTruth, kPassword, 81},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.backup);
    auto source = sourceFor(c.backup);
    ProgressLog log;
    source->SetProgressCallback(ProgressLog::Record, &log);
    ScanResults results;
    ScanObserver observer;
    ASSERT_FALSE(RunScanSequence(*source, c.password, results, observer));
    EXPECT_EQ(source->Progress(), c.expectedProgress);
    EXPECT_EQ(log.last, c.expectedProgress);

    EXPECT_EQ(results.cameraRoll.size(), listedFiles(*c.truth, "photos"));
    EXPECT_EQ(results.photoStream.size(), listedFiles(*c.truth, "photostream"));
    EXPECT_EQ(results.messageAttachments.size(), listedFiles(*c.truth, "attachments"));
    EXPECT_EQ(results.appFiles.size(), listedFiles(*c.truth, "app-files"));
    EXPECT_EQ(filesOf(results.appPhotos) + filesOf(results.appVideos), results.appFiles.size());
    EXPECT_EQ(results.whatsAppFiles.size(), listedFiles(*c.truth, "whatsapp-attachments"));
    // Every database category found its live rows and some deleted ones
    // (call_history.db in the legacy backup, CallHistory.storedata in the modern one).
    EXPECT_GE(recordsOf(results.messages), liveRecords(*c.truth, "messages", "message"));
    EXPECT_FALSE(results.contacts.empty());
    EXPECT_GE(results.calls.size(), liveRecords(*c.truth, "calls", c.truth->layout == "legacy" ? "call" : "ZCALLRECORD"));
    EXPECT_FALSE(results.notes.empty());
    EXPECT_FALSE(results.whatsApp.empty());
  }
}

TEST_F(LocalBackupRecoveryTest, WrongPasswordIsReportedAndNothingIsScanned) {
  auto source = sourceFor("encrypted");
  ScanResults results;
  ScanObserver observer;
  EXPECT_EQ(RunScanSequence(*source, "not the password", results, observer), kWrongPassword);
  EXPECT_TRUE(results.cameraRoll.empty());
  EXPECT_TRUE(fs::is_empty(source->DecryptionOutputFolder()) || !fs::exists(source->DecryptionOutputFolder()));
}

// A scan never changes the backup it reads: right password, wrong password
// and a cancel midway, on backups made read-only.
TEST_F(LocalBackupRecoveryTest, ScansLeaveTheBackupUntouched) {
  const FolderSnapshot before = snapshotOf(s_root / "encrypted");
  const FolderSnapshot beforePlain = snapshotOf(s_root / "modern");
  setWritable(s_root / "encrypted", false);
  setWritable(s_root / "modern", false);
  const struct {
    const char* backup;
    const char* password;
    int cancelFromCall;
    std::error_code expected;
  } cases[] = {
      {"encrypted", kPassword, -1, std::error_code{}},
      {"encrypted", "wrong", -1, kWrongPassword},
      {"encrypted", kPassword, 40, kCancelled},
      {"modern", "", 25, kCancelled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.backup) + " " + c.password + " " + std::to_string(c.cancelFromCall));
    {
      auto source = sourceFor(c.backup);
      ProgressLog log;
      log.cancelFromCall = c.cancelFromCall;
      source->SetProgressCallback(ProgressLog::Record, &log);
      ScanResults results;
      ScanObserver observer;
      EXPECT_EQ(RunScanSequence(*source, c.password, results, observer), c.expected);
    }
    m_engine = std::make_unique<BackupEngine>(m_appData, s_root / "no-backups-root");  // clean-up runs again
  }
  setWritable(s_root / "encrypted", true);
  setWritable(s_root / "modern", true);
  EXPECT_TRUE(snapshotOf(s_root / "encrypted") == before);
  EXPECT_TRUE(snapshotOf(s_root / "modern") == beforePlain);
}

// The write-ahead companion of the chat database is listed after it and also
// contains "ChatStorage.sqlite"; the database itself must be read.
TEST_F(LocalBackupRecoveryTest, WhatsAppReadsTheDatabaseNotItsCompanion) {
  const fs::path copy = s_root / ("modern-with-wal-" + std::to_string(std::random_device{}()));
  fs::copy(s_root / "modern", copy, fs::copy_options::recursive);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((copy / "Manifest.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "INSERT INTO Files SELECT '00000000000000000000000000000000000000aa', domain, "
                         "relativePath || '-wal', flags, NULL FROM Files WHERE relativePath LIKE '%ChatStorage.sqlite'",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::ofstream(copy / "00" / "00000000000000000000000000000000000000aa") << "not a database";

  BackupInfo info;
  ASSERT_FALSE(ReadBackupInfo(copy, info));
  m_engine->SelectBackup(info);
  CLocalBackupRecovery source((m_appData / "tmp-root").string() + "/");
  ASSERT_FALSE(source.Attach(m_engine.get()));
  ASSERT_FALSE(source.OpenSource(""));
  ChatMessagesBySession chats;
  EXPECT_FALSE(source.ScanWhatsApp(chats));
  EXPECT_FALSE(chats.empty());
  fs::remove_all(copy);
}

// Entries of a backup that are not regular files of its own: the message
// database a FIFO (an open() of it would wait for a writer for ever), a
// photo a FIFO, and the WhatsApp database a link to a file outside the
// backup. The scan finishes, reads none of them, and finds the rest.
TEST_F(LocalBackupRecoveryTest, FifosAndLinksInTheBackupAreNeverOpened) {
  const fs::path copy = s_root / ("modern-hostile-" + std::to_string(std::random_device{}()));
  fs::copy(s_root / "modern", copy, fs::copy_options::recursive);
  const auto stored = [&copy](std::string_view fileId) {
    return fixtures::StoredFilePathIn(copy, fixtures::StoreLayout::Modern, fileId);
  };
  const fs::path outside = s_root / ("outside-" + std::to_string(std::random_device{}()));
  fs::copy_file(stored(fixtures::kWhatsAppChatDatabase.fileId), outside);
  const auto replace = [](const fs::path& path) { fs::remove(path); };
  replace(stored(fixtures::kSmsDatabase.fileId));
  ASSERT_EQ(::mkfifo(stored(fixtures::kSmsDatabase.fileId).c_str(), 0600), 0);
  std::string photoId;
  for (const auto& file : s_modernTruth.files) {
    if (file.category == "photos" && file.listed) photoId = file.fileId;
  }
  ASSERT_FALSE(photoId.empty());
  replace(stored(photoId));
  ASSERT_EQ(::mkfifo(stored(photoId).c_str(), 0600), 0);
  replace(stored(fixtures::kWhatsAppChatDatabase.fileId));
  fs::create_symlink(outside, stored(fixtures::kWhatsAppChatDatabase.fileId));

  BackupInfo info;
  ASSERT_FALSE(ReadBackupInfo(copy, info));
  m_engine->SelectBackup(info);
  CLocalBackupRecovery source((m_appData / "tmp-root").string() + "/");
  ASSERT_FALSE(source.Attach(m_engine.get()));
  ScanResults results;
  // A scan that blocks in open() never returns: the test then stops the
  // process rather than hang.
  auto scan = std::async(std::launch::async, [&] {
    ScanObserver observer;
    return RunScanSequence(source, "", results, observer);
  });
  if (scan.wait_for(std::chrono::seconds(120)) != std::future_status::ready) {
    ADD_FAILURE() << "the scan hangs on a FIFO";
    std::_Exit(1);
  }
  EXPECT_FALSE(scan.get());
  EXPECT_TRUE(results.messages.empty());
  EXPECT_TRUE(results.whatsApp.empty());
  EXPECT_EQ(results.cameraRoll.size(), listedFiles(s_modernTruth, "photos") - 1);
  EXPECT_EQ(results.contacts.empty(), false);
  EXPECT_NE(results.problems[CategoryKind::kMessages].find("message database"), std::string::npos);
  fs::remove_all(copy);
  fs::remove(outside);
}

// A source that records which scans ran.
class RecordingSource : public IPhoneRecoveryParse {
 public:
  std::error_code photosResult;
  std::vector<std::string> calls;
  std::error_code Attach(BackupEngine*) override { return {}; }
  std::error_code SetProgressCallback(ProgressCallback, void*) override { return {}; }
  int GetState() override { return 0; }
  bool IsLocalBackup() override { return true; }
  std::error_code OpenSource(const std::string&) override { return note("open"); }
  std::error_code ScanMessages(MessagesByHandle&) override { return note("messages"); }
  std::error_code ScanMessageAttachments(std::vector<FileItem>&) override { return note("attachments"); }
  std::error_code ScanContacts(std::vector<ContactItem>&) override { return note("contacts"); }
  std::error_code ScanNotes(std::vector<NoteItem>&) override { return note("notes"); }
  std::error_code ScanCallHistory(std::vector<CallItem>&) override { return note("calls", kBadFile); }
  std::error_code ScanPhotos(std::vector<FileItem>&, std::vector<FileItem>&) override { return note("photos", photosResult); }
  std::error_code ScanWhatsAppAttachments(std::vector<FileItem>&) override { return note("whatsapp-files"); }
  std::error_code ScanAppFiles(std::vector<FileItem>&) override { return note("apps"); }
  std::error_code ScanWhatsApp(ChatMessagesBySession&) override { return note("whatsapp"); }
  std::error_code ExtractPreviewFile(const std::string&, std::string&, ProgressCallback, void*) override { return {}; }
  std::error_code CopyOut(const std::string&, const std::string&, CopyProgressCallback, void*) override { return {}; }
  std::error_code ExportMessagesCsv(const std::string&) override { return {}; }
  std::error_code ExportContactsCsv(const std::string&) override { return {}; }
  std::string TakeScanNote() override { return {}; }
  std::uint64_t MissingFileCount() override { return 0; }

 private:
  std::error_code note(const char* call, std::error_code result = std::error_code{}) {
    calls.push_back(call);
    return result;
  }
};

TEST(ScanSequenceTest, OrderFailuresAndCancel) {
  RecordingSource source;
  ScanResults results;
  ScanObserver observer;
  EXPECT_FALSE(RunScanSequence(source, "", results, observer));  // a failing category does not stop the scan
  EXPECT_EQ(source.calls, (std::vector<std::string>{"open", "photos", "messages", "attachments", "contacts", "calls",
                                                    "notes", "apps", "whatsapp", "whatsapp-files"}));
  RecordingSource cancelled;
  cancelled.photosResult = kCancelled;
  EXPECT_EQ(RunScanSequence(cancelled, "", results, observer), kCancelled);
  EXPECT_EQ(cancelled.calls, (std::vector<std::string>{"open", "photos"}));
}

TEST(RecoveryFactoryTest, OnlyKnownKindsMakeASource) {
  EXPECT_EQ(CreateRecoverySource(2, nullptr), nullptr);
  EXPECT_EQ(CreateRecoverySource(kSourceKindLocalBackup, nullptr), nullptr);
}

}  // namespace
}  // namespace scrivel
