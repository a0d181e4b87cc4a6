// Scans a sample backup of every generation the sample builder knows, in
// both store layouts, plain and encrypted, with the built scrivel-cli, and
// compares what each category of `scan --json` reports with what the
// builder wrote (its ground truth).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <future>
#include <set>
#include <string>
#include <tuple>

#include "fixtures/backup_encryptor.h"
#include "fixtures/json_reader.h"
#include "fixtures/photo_library_database.h"
#include "fixtures/sample_backup.h"
#include "fixtures/sample_layouts.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;
namespace fx = scrivel::fixtures;

constexpr const char* kPassword = "counts";

struct CliRun {
  int exitCode = -1;
  std::string output;  // standard output
};

// Runs `scrivel-cli scan SOURCE --json --no-progress`, with `password` on
// standard input when it is not empty. Each run gets its own application
// data folder, so that two runs at once never share a work folder.
CliRun ScanJson(const fs::path& source, const fs::path& appData, const std::string& password) {
  std::string command = "XDG_DATA_HOME='" + appData.string() + "' '" + SCRIVEL_TEST_BIN_DIR + "/scrivel-cli' scan '" +
                        source.string() + "' --json --no-progress";
  if (!password.empty()) command = "printf '%s' '" + password + "' | " + command + " --password-stdin";
  command += " 2>/dev/null";
  CliRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer;
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), got);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::size_t CountRecords(const fx::GroundTruth& truth, std::string_view category, std::string_view table, bool deleted) {
  std::size_t count = 0;
  for (const fx::GroundTruthRecord* record : truth.RecordsOf(category, table)) count += record->deleted == deleted;
  return count;
}

// What the Messages category lists of the truth's message rows: every
// row but the reactions, which are shown with the message they react to.
// Live rows waiting in "Recently Deleted" are listed as deleted ones.
struct MessageCounts {
  std::size_t live = 0;
  std::size_t deleted = 0;
  std::size_t recentlyDeleted = 0;
};

MessageCounts CountMessages(const fx::GroundTruth& truth) {
  constexpr std::int64_t kFirstReaction = 2000;
  constexpr std::int64_t kLastReaction = 3007;
  std::set<std::int64_t> recentlyDeleted;
  for (const fx::GroundTruthRecord* link : truth.RecordsOf("messages", "chat_recoverable_message_join"))
    if (!link->deleted) recentlyDeleted.insert(link->Integer("message_id"));
  MessageCounts counts;
  for (const fx::GroundTruthRecord* record : truth.RecordsOf("messages", "message")) {
    const std::int64_t type = record->Integer("associated_message_type");
    if (type >= kFirstReaction && type <= kLastReaction) continue;
    if (record->deleted) {
      ++counts.deleted;
    } else if (recentlyDeleted.count(record->rowId) != 0) {
      ++counts.recentlyDeleted;
    } else {
      ++counts.live;
    }
  }
  return counts;
}

// The notes of NoteStore.sqlite: note rows (entity "ICNote") listed live,
// and those listed deleted, from the table's free space or because they sit
// in Recently Deleted or are marked for deletion.
struct NoteStoreCounts {
  std::size_t live = 0;
  std::size_t deleted = 0;
};

NoteStoreCounts CountNoteStoreNotes(const fx::GroundTruth& truth) {
  std::int64_t noteEntity = -1;
  for (const fx::GroundTruthRecord* record : truth.RecordsOf("notes", "Z_PRIMARYKEY"))
    if (record->Text("Z_NAME") == "ICNote") noteEntity = record->Integer("Z_ENT");
  std::set<std::int64_t> trashFolders;
  const auto objects = truth.RecordsOf("notes", "ZICCLOUDSYNCINGOBJECT");
  for (const fx::GroundTruthRecord* record : objects)
    if (record->Text("ZIDENTIFIER").starts_with("TrashFolder")) trashFolders.insert(record->rowId);
  NoteStoreCounts counts;
  for (const fx::GroundTruthRecord* record : objects) {
    if (record->Integer("Z_ENT") != noteEntity) continue;
    const bool listedDeleted = record->deleted || record->Integer("ZMARKEDFORDELETION") != 0 ||
                               trashFolders.count(record->Integer("ZFOLDER")) != 0;
    ++(listedDeleted ? counts.deleted : counts.live);
  }
  return counts;
}

// Messages their sender deleted for everybody: live rows that the scan
// lists as deleted.
std::size_t CountRevokedWhatsAppRows(const fx::GroundTruth& truth) {
  constexpr std::int64_t kRevokedType = 14;
  std::size_t count = 0;
  for (const fx::GroundTruthRecord* record : truth.RecordsOf("whatsapp", "ZWAMESSAGE"))
    count += !record->deleted && record->Integer("ZMESSAGETYPE") == kRevokedType;
  return count;
}

std::size_t CountListedFiles(const fx::GroundTruth& truth, std::string_view category) {
  std::size_t count = 0;
  for (const fx::GroundTruthFile& file : truth.files) count += file.listed && file.category == category;
  return count;
}

// Listed camera-roll files whose photo library asset is in Recently
// Deleted: the scan counts them as deleted items of Camera Roll.
std::size_t CountTrashedCameraFiles(const fx::GroundTruth& truth) {
  std::size_t count = 0;
  for (const fx::GroundTruthRecord* asset : truth.RecordsOf(fx::kPhotoLibraryCategory, "ZASSET")) {
    if (asset->deleted || asset->Integer("ZTRASHEDSTATE") != 1) continue;
    const std::string path = "Media/" + asset->Text("ZDIRECTORY") + "/" + asset->Text("ZFILENAME");
    for (const fx::GroundTruthFile& file : truth.files) {
      count += file.listed && file.domain == "CameraRollDomain" && file.relativePath == path;
    }
  }
  return count;
}

// One category object of the scan's JSON: {"items", "deleted", "error"}.
struct CategoryCounts {
  std::int64_t items = -1;
  std::int64_t deleted = -1;
  const fx::JsonValue* error = nullptr;
};

CategoryCounts CountsOf(const fx::JsonValue& scan, const char* name) {
  CategoryCounts counts;
  const fx::JsonValue* categories = scan.Member("categories");
  const fx::JsonValue* category = categories ? categories->Member(name) : nullptr;
  if (!category) return counts;
  if (const fx::JsonValue* items = category->Member("items")) counts.items = items->integer;
  if (const fx::JsonValue* deleted = category->Member("deleted")) counts.deleted = deleted->integer;
  counts.error = category->Member("error");
  return counts;
}

bool IsNull(const fx::JsonValue* value) { return value && value->kind == fx::JsonValue::Kind::Null; }

using Case = std::tuple<const char*, fx::StoreLayout>;

class ScanCountsTest : public ::testing::TestWithParam<Case> {
 protected:
  // Compares one scan's JSON with the ground truth.
  void ExpectCountsOf(const CliRun& run, const char* what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    fx::JsonValue scan;
    ASSERT_TRUE(fx::ParseJson(run.output, &scan)) << run.output;
    // The builder stores a few files empty on purpose (an attachment, an
    // app's picture); the encrypted copy stores nothing for them, as a
    // device does. The scan counts absent and empty stored files alike.
    std::size_t emptyFiles = 0;
    for (const fx::GroundTruthFile& file : m_truth.files) emptyFiles += file.size == 0;
    const fx::JsonValue* missing = scan.Member("missing_files");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(static_cast<std::size_t>(missing->integer), emptyFiles);

    // Database categories. Live rows are read from the b-tree and must
    // all come out. A deleted row survives only where SQLite has not yet
    // overwritten its bytes (a freed cell can be reused, or cut into by a
    // free-block header), so fewer can come back than were deleted, never
    // more; where rows were deleted, some must come back.
    struct RecordCategory {
      const char* name;          // category of the scan's JSON
      const char* truthCategory;
      const char* table;         // the table whose rows are the category's items
    };
    const RecordCategory records[] = {
        {"Messages", "messages", "message"},
        {"Contacts", "contacts", "ABPersonFullTextSearch"},
        {"Call History", "calls", m_layouts.callHistoryIsStoreData ? "ZCALLRECORD" : "call"},
        {"Notes", "notes", "ZNOTE"},  // a note's title row; its body row belongs to it
        {"WhatsApp", "whatsapp", "ZWAMESSAGE"},
    };
    for (const RecordCategory& category : records) {
      SCOPED_TRACE(category.name);
      const CategoryCounts found = CountsOf(scan, category.name);
      ASSERT_GE(found.items, 0) << run.output;
      EXPECT_TRUE(IsNull(found.error)) << run.output;
      std::size_t live = CountRecords(m_truth, category.truthCategory, category.table, false);
      std::size_t deleted = CountRecords(m_truth, category.truthCategory, category.table, true);
      if (std::string_view(category.name) == "Messages") {
        const MessageCounts messages = CountMessages(m_truth);
        live = messages.live;
        deleted = messages.deleted + messages.recentlyDeleted;
        EXPECT_GE(static_cast<std::size_t>(found.deleted), messages.recentlyDeleted) << "recently deleted";
      }
      if (std::string_view(category.name) == "WhatsApp") {
        // Messages deleted for everybody are live rows listed as deleted.
        const std::size_t revoked = CountRevokedWhatsAppRows(m_truth);
        live -= revoked;
        deleted += revoked;
      }
      if (std::string_view(category.name) == "Notes" && m_layouts.notesInNoteStore) {
        const NoteStoreCounts notes = CountNoteStoreNotes(m_truth);
        live = notes.live;
        deleted = notes.deleted;
      }
      ASSERT_GT(live, 0u);
      EXPECT_EQ(static_cast<std::size_t>(found.items - found.deleted), live) << "live";
      EXPECT_LE(static_cast<std::size_t>(found.deleted), deleted) << "deleted";
      if (deleted > 0) {
        EXPECT_GT(found.deleted, 0) << "deleted";
      }
    }

    // File categories: every stored file that the category's scan lists.
    struct FileCategory {
      std::vector<const char*> names;  // categories of the scan's JSON, summed
      const char* truthCategory;
    };
    const FileCategory files[] = {
        {{"Camera Roll"}, "photos"},
        {{"Photo Stream"}, "photostream"},
        {{"Messages Attachments"}, "attachments"},
        {{"App Photos", "App Videos"}, "app-files"},
        {{"WhatsApp Attachments"}, "whatsapp-attachments"},
    };
    for (const FileCategory& category : files) {
      SCOPED_TRACE(category.truthCategory);
      std::int64_t items = 0;
      const bool cameraRoll = std::string_view(category.truthCategory) == "photos";
      const std::size_t trashed = cameraRoll ? CountTrashedCameraFiles(m_truth) : 0;
      if (cameraRoll && fx::SampleHasPhotoLibrary(m_truth.generation)) {
        EXPECT_GT(trashed, 0u) << "the sample puts pictures in Recently Deleted";
      }
      for (const char* name : category.names) {
        const CategoryCounts found = CountsOf(scan, name);
        ASSERT_GE(found.items, 0) << name << ": " << run.output;
        EXPECT_EQ(static_cast<std::size_t>(found.deleted), trashed) << name;
        EXPECT_TRUE(IsNull(found.error)) << name << ": " << run.output;
        items += found.items;
      }
      EXPECT_EQ(static_cast<std::size_t>(items), CountListedFiles(m_truth, category.truthCategory));
    }
  }

  fx::GroundTruth m_truth;
  fx::SampleLayouts m_layouts;
};

// Each sample is built once and encrypted once; its plain and encrypted
// scans run at the same time, one per core.
TEST_P(ScanCountsTest, EveryCategoryMatchesWhatTheBuilderWrote) {
  const auto [generation, layout] = GetParam();
  const fx::TemporaryFolder root("scan-counts");
  fx::SampleBackupOptions options;
  options.generation = generation;
  options.layout = layout;
  ASSERT_TRUE(fx::ChooseSampleLayouts(generation, layout, &m_layouts));
  ASSERT_FALSE(fx::BuildSampleBackup(root.Path() / "plain", options, &m_truth));
  fx::BackupEncryptionOptions encryption;
  encryption.password = kPassword;
  ASSERT_FALSE(fx::EncryptBackup(root.Path() / "plain", root.Path() / "locked", encryption));

  auto plain = std::async(std::launch::async, ScanJson, root.Path() / "plain", root.Path() / "appdata-plain", "");
  const CliRun locked = ScanJson(root.Path() / "locked", root.Path() / "appdata-locked", kPassword);
  ExpectCountsOf(plain.get(), "plain");
  ExpectCountsOf(locked, "encrypted");
}

INSTANTIATE_TEST_SUITE_P(Generations, ScanCountsTest,
                         ::testing::Combine(::testing::ValuesIn(fx::kSampleGenerations),
                                            ::testing::Values(fx::StoreLayout::Modern, fx::StoreLayout::Legacy)),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) == fx::StoreLayout::Modern ? "_modern" : "_legacy");
                         });

}  // namespace
}  // namespace scrivel
