#include "core/recovery/media_scans.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/backup/backup_engine.h"
#include "core/backup/file_id.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kJpegExif = "\xFF\xD8\xFF\xE1\x00\x10" "Exif\x00\x00"s + std::string(100, 'j');
const std::string kPng = "\x89PNG\r\n\x1A\n"s + std::string(60, 'p');
const std::string kText = "no signature here";

// A small modern backup (Manifest.db, payloads in subfolders) written by the
// test itself, with verbs to add stored files.
class MediaScansTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = fs::temp_directory_path() / ("scrivel-media-" + std::to_string(std::random_device{}()));
    m_backup = m_root / "backups" / "0000-device";
    fs::create_directories(m_backup);
    ASSERT_EQ(sqlite3_open((m_backup / "Manifest.db").c_str(), &m_db), SQLITE_OK);
    exec("CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)");
  }
  void TearDown() override {
    if (m_db != nullptr) sqlite3_close(m_db);
    fs::remove_all(m_root);
  }
  void exec(const std::string& sql) { ASSERT_EQ(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql; }

  // Lists domain-relativePath in the manifest and, unless content is null,
  // stores its payload.
  void add(const std::string& domain, const std::string& relativePath, const std::string* content) {
    const std::string id = ComputeFileId(domain + "-" + relativePath);
    exec("INSERT INTO Files VALUES ('" + id + "', '" + domain + "', '" + relativePath + "', 1, NULL)");
    if (content == nullptr) return;
    fs::create_directories(m_backup / id.substr(0, 2));
    std::ofstream(m_backup / id.substr(0, 2) / id, std::ios::binary) << *content;
  }

  // Opens the backup in a fresh engine.
  std::unique_ptr<BackupEngine> open() {
    sqlite3_close(m_db);
    m_db = nullptr;
    auto engine = std::make_unique<BackupEngine>(m_root / "appdata", m_root / "backups");
    BackupInfo info;
    info.folderPath = m_backup.string();
    engine->SelectBackup(info);
    EXPECT_FALSE(engine->LoadManifest());
    return engine;
  }

  fs::path m_root;
  fs::path m_backup;
  sqlite3* m_db = nullptr;
};

std::vector<std::string> namesOf(const std::vector<FileItem>& items) {
  std::vector<std::string> names;
  for (const FileItem& item : items) names.push_back(item.name);
  return names;
}

struct Reports {
  std::vector<int> percents;
  int cancelAt = -1;  // answer kCancelled on this call
};

std::error_code record(void* userData, int percent) {
  auto* reports = static_cast<Reports*>(userData);
  reports->percents.push_back(percent);
  return static_cast<int>(reports->percents.size()) - 1 == reports->cancelAt ? kCancelled : std::error_code{};
}

TEST_F(MediaScansTest, AttachmentsAreNamedByContentAndEmptyOnesDropped) {
  const std::string empty;
  add("MediaDomain", "Library/SMS/Attachments/aa/00/IMG_0001.heic", &kJpegExif);
  add("MediaDomain", "Library/SMS/Attachments/bb/01/empty.jpg", &empty);
  add("MediaDomain", "Library/SMS/Attachments/cc/02/readme.txt", &kText);
  add("MediaDomain", "Library/SMS/Attachments/dd/03/gone.png", nullptr);
  add("HomeDomain", "Library/SMS/sms.db", &kText);
  auto engine = open();
  FileTypeDetector detector;
  Reports reports;
  ScanProgress progress{record, &reports, 12, kPlainBackupStep};
  std::vector<FileItem> attachments;
  EXPECT_FALSE(ScanMessageAttachments(*engine, detector, progress, attachments));
  ASSERT_EQ(namesOf(attachments), (std::vector<std::string>{"IMG_0001.JPG"}));
  EXPECT_EQ(attachments[0].size, kJpegExif.size());
  // Four entries report within the walk (the missing file does not), then the share.
  EXPECT_EQ(reports.percents, (std::vector<int>{14, 16, 18, 23, 23}));
  EXPECT_EQ(progress.progress, 23);
}

TEST_F(MediaScansTest, PhotosSortWithoutCaseAndUnknownContentIsLeftOut) {
  add("CameraRollDomain", "Media/DCIM/100APPLE/b.jpg", &kJpegExif);
  add("CameraRollDomain", "Media/DCIM/100APPLE/A.jpg", &kJpegExif);
  add("MediaDomain", "Media/PhotoStreamsData/1/100APPLE/c.png", &kPng);
  add("MediaDomain", "Media/PhotoStreamsData/1/100APPLE/d.dat", &kText);
  auto engine = open();
  ScanProgress progress;
  std::vector<FileItem> cameraRoll, photoStream;
  EXPECT_FALSE(ScanPhotos(*engine, progress, cameraRoll, photoStream));
  EXPECT_EQ(namesOf(cameraRoll), (std::vector<std::string>{"A.jpg", "b.jpg"}));
  EXPECT_EQ(namesOf(photoStream), (std::vector<std::string>{"c.png"}));
}

// A Live Photo's movie goes inside its still; a movie without a still and
// a still of another folder stay alone. The library marks the trashed still.
TEST_F(MediaScansTest, CameraRollPairsLivePhotosAndTakesTheLibraryMarks) {
  const std::string heic = "\x00\x00\x00\x18" "ftypheic\x00\x00\x00\x00heicmif1"s + std::string(80, 'h');
  const std::string movie = "\x00\x00\x00\x14" "ftypqt  \x00\x00\x00\x00qt  "s + std::string(200, 'm');
  add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0011.HEIC", &heic);
  add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0011.MOV", &movie);
  add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0012.MOV", &movie);
  add("CameraRollDomain", "Media/DCIM/101APPLE/IMG_0012.HEIC", &heic);
  auto engine = open();
  PhotoLibrary library;
  library["DCIM/100APPLE/IMG_0011.HEIC"] = {true, "IMG_0011.HEIC", "2024-01-02 03:04:05", "2024-02-03 04:05:06"};
  ScanProgress progress;
  std::vector<FileItem> cameraRoll, photoStream;
  EXPECT_FALSE(ScanPhotos(*engine, progress, cameraRoll, photoStream, &library));
  ASSERT_EQ(namesOf(cameraRoll), (std::vector<std::string>{"IMG_0011.HEIC", "IMG_0012.HEIC", "IMG_0012.MOV"}));
  const FileItem& live = cameraRoll[0];
  ASSERT_TRUE(live.pairedVideo.has_value());
  EXPECT_EQ(live.pairedVideo->name, "IMG_0011.MOV");
  EXPECT_EQ(live.pairedVideo->size, movie.size());
  EXPECT_TRUE(live.deleted);
  EXPECT_EQ(live.created, "2024-01-02 03:04:05");
  EXPECT_EQ(live.trashed, "2024-02-03 04:05:06");
  for (std::size_t i = 1; i < cameraRoll.size(); ++i) {
    EXPECT_FALSE(cameraRoll[i].pairedVideo.has_value()) << cameraRoll[i].name;
    EXPECT_FALSE(cameraRoll[i].deleted) << cameraRoll[i].name;
  }
}

// More photos than one block of probes made ahead, among other entries and
// missing files: each entry gets the probe of its own file.
TEST_F(MediaScansTest, PhotosProbedAheadInBlocksKeepTheirOwnProbes) {
  constexpr int kPhotos = 2500;
  std::vector<std::string> contents;
  contents.reserve(kPhotos);
  for (int i = 0; i < kPhotos; ++i) contents.push_back(kJpegExif + std::string(static_cast<std::size_t>(i), 'x'));
  exec("BEGIN");
  for (int i = 0; i < kPhotos; ++i) {
    const std::string name = "Media/DCIM/100APPLE/IMG_" + std::to_string(10000 + i) + ".jpg";
    const bool missing = i % 97 == 5;
    add("CameraRollDomain", name, missing ? nullptr : &contents[static_cast<std::size_t>(i)]);
    if (i % 10 == 0) add("HomeDomain", "Library/other-" + std::to_string(i), &kPng);
  }
  exec("COMMIT");
  auto engine = open();
  ScanProgress progress;
  std::vector<FileItem> cameraRoll, photoStream;
  EXPECT_FALSE(ScanPhotos(*engine, progress, cameraRoll, photoStream));
  std::size_t next = 0;
  for (int i = 0; i < kPhotos; ++i) {
    if (i % 97 == 5) continue;
    ASSERT_LT(next, cameraRoll.size());
    const FileItem& item = cameraRoll[next++];
    EXPECT_EQ(item.name, "IMG_" + std::to_string(10000 + i) + ".jpg");
    EXPECT_EQ(item.size, kJpegExif.size() + static_cast<std::size_t>(i));
  }
  EXPECT_EQ(next, cameraRoll.size());
  EXPECT_TRUE(photoStream.empty());
}

TEST_F(MediaScansTest, CancelEndsTheWalkButHandsOutTheSortedPart) {
  add("CameraRollDomain", "Media/DCIM/100APPLE/z.jpg", &kJpegExif);
  add("CameraRollDomain", "Media/DCIM/100APPLE/y.jpg", &kJpegExif);
  add("CameraRollDomain", "Media/DCIM/100APPLE/x.jpg", &kJpegExif);
  auto engine = open();
  Reports reports;
  reports.cancelAt = 1;
  ScanProgress progress{record, &reports, 0, kPlainBackupStep};
  std::vector<FileItem> cameraRoll, photoStream;
  EXPECT_EQ(ScanPhotos(*engine, progress, cameraRoll, photoStream), kCancelled);
  EXPECT_EQ(namesOf(cameraRoll), (std::vector<std::string>{"y.jpg", "z.jpg"}));
}

TEST_F(MediaScansTest, AppFilesCarryTheirAppAndWhatsAppIsSplitOff) {
  const std::string empty;
  add("AppDomain-com.tencent.xin", "Documents/a.jpeg", &kJpegExif);
  add("AppDomain-net.whatsapp.WhatsApp", "Library/Media/x.png", &kPng);
  add("AppDomain-net.whatsapp.WhatsApp", "Library/Media/empty.png", &empty);
  add("AppDomain-com.example.notes", "Documents/notes.txt", &kText);
  add("HomeDomain", "Media/photo.png", &kPng);
  auto engine = open();
  FileTypeDetector detector;
  ScanProgress progress;
  std::vector<FileItem> appFiles;
  std::vector<FileItem> whatsAppFiles{{1, "stale", "stale", ""}};
  EXPECT_FALSE(ScanAppFiles(*engine, detector, progress, appFiles, whatsAppFiles));
  ASSERT_EQ(namesOf(appFiles), (std::vector<std::string>{"a.JPG"}));
  EXPECT_EQ(appFiles[0].app, "tencent.xin");
  EXPECT_EQ(namesOf(whatsAppFiles), (std::vector<std::string>{"x.PNG"}));
}

TEST(AppIdentifierTest, PrefixAndDashRule) {
  const struct {
    const char* entry;
    const char* app;
  } cases[] = {
      {"AppDomain-com.tencent.xin-Documents/a.jpg", "tencent.xin"},
      {"AppDomain-net.whatsapp.WhatsApp-Library/x", "whatsapp.WhatsApp"},
      {"AppDomain-org.example-Documents/x", "other"},
      {"AppDomain-com.nodash", "other"},
      {"AppDomainGroup-group.com.apple.notes-x", "apple.notes"},
  };
  for (const auto& c : cases) EXPECT_EQ(AppIdentifier(c.entry), c.app) << c.entry;
}

TEST(RecognisedFileNameTest, BaseNameAndUpperCaseExtension) {
  EXPECT_EQ(RecognisedFileName("MediaDomain-Library/SMS/Attachments/IMG_0001.heic", "jpg"), "IMG_0001.JPG");
  EXPECT_EQ(RecognisedFileName("x-a/b/archive.tar.gz", "png"), "archive.tar.PNG");
  EXPECT_EQ(RecognisedFileName("noslash", "gif"), "noslash.GIF");
}

}  // namespace
}  // namespace scrivel
