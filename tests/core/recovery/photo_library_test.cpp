#include "core/recovery/photo_library.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "core/common/result_codes.h"
#include "fixtures/database_builder.h"
#include "fixtures/photo_library_database.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

namespace fx = scrivel::fixtures;

class PhotoLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("TZ", "UTC", 1); }

  // Builds `definition` into a file of the temporary folder and reads it.
  std::error_code build(const fx::DatabaseSpec& definition, PhotoLibrary* library) {
    const std::filesystem::path path = m_folder.Path() / "Photos.sqlite";
    std::filesystem::remove(path);
    EXPECT_FALSE(fx::BuildDatabase(path, definition, nullptr));
    return ReadPhotoLibrary(path.string(), library);
  }

  fx::TemporaryFolder m_folder{"photo-library"};
};

// The sample library: its trashed assets, their original names and dates.
TEST_F(PhotoLibraryTest, SampleLibraryMarksTrashedAssets) {
  fx::Random random(7);
  const fx::PhotoLibraryPlan plan = fx::PlanPhotoLibrary(random);
  PhotoLibrary library;
  ASSERT_FALSE(build(plan.database.definition, &library));
  ASSERT_EQ(library.size(), 6u);
  const PhotoAsset& kept = library.at("DCIM/112APPLE/IMG_1201.HEIC");
  EXPECT_FALSE(kept.trashed);
  EXPECT_TRUE(kept.trashedDate.empty());
  EXPECT_EQ(kept.originalName, "IMG_1201.HEIC");
  EXPECT_EQ(kept.created.size(), 19u) << kept.created;
  const PhotoAsset& imported = library.at("DCIM/112APPLE/IMG_1204.JPG");
  EXPECT_TRUE(imported.trashed);
  EXPECT_EQ(imported.originalName, "Beach day.jpg");
  EXPECT_EQ(imported.trashedDate.size(), 19u) << imported.trashedDate;
  EXPECT_GT(imported.trashedDate, imported.created);
}

// Older and damaged layouts: what is read, and which code ends the read.
TEST_F(PhotoLibraryTest, LayoutsAndTheirOutcomes) {
  const struct {
    const char* ddl;
    const char* insert;  // one row, or nullptr
    std::error_code result;
    const char* key;     // an asset expected in the library, or nullptr
    bool trashed;
    const char* originalName;
    const char* created;
    const char* what;
  } cases[] = {
      {"CREATE TABLE ZGENERICASSET (Z_PK INTEGER PRIMARY KEY, ZTRASHEDSTATE INTEGER, ZDATECREATED TIMESTAMP, "
       "ZTRASHEDDATE TIMESTAMP, ZDIRECTORY VARCHAR, ZFILENAME VARCHAR)",
       "INSERT INTO ZGENERICASSET VALUES (1, 1, 0, 86400, 'DCIM/100APPLE', 'IMG_0001.JPG')", {},
       "DCIM/100APPLE/IMG_0001.JPG", true, "", "2001-01-01 00:00:00", "iOS 11-13 table without attributes"},
      {"CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZDATECREATED TIMESTAMP, ZDIRECTORY VARCHAR, ZFILENAME VARCHAR)",
       "INSERT INTO ZASSET VALUES (1, 1e300, 'DCIM/100APPLE', 'IMG_0002.HEIC')", {}, "DCIM/100APPLE/IMG_0002.HEIC",
       false, "", "", "date out of range, no trash columns"},
      {"CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZDIRECTORY VARCHAR, ZFILENAME VARCHAR);"
       "CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK INTEGER PRIMARY KEY, ZORIGINALFILENAME VARCHAR)",
       "INSERT INTO ZASSET VALUES (1, NULL, 'IMG_0003.HEIC')", {}, nullptr, false, "", "",
       "asset without a folder has no file"},
      {"CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZDIRECTORY VARCHAR, ZNAME VARCHAR)", nullptr, kBadFile,
       nullptr, false, "", "", "no file name column"},
      {"CREATE TABLE ZMOMENT (Z_PK INTEGER PRIMARY KEY, ZTITLE VARCHAR)", nullptr, kBadFile, nullptr, false, "", "",
       "no asset table"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fx::DatabaseSpec definition;
    definition.ddl = c.ddl;
    if (c.insert != nullptr) definition.ddl += std::string(";") + c.insert;
    PhotoLibrary library;
    EXPECT_EQ(build(definition, &library), c.result);
    if (c.key == nullptr) {
      EXPECT_TRUE(library.empty());
      continue;
    }
    ASSERT_EQ(library.count(c.key), 1u);
    const PhotoAsset& asset = library.at(c.key);
    EXPECT_EQ(asset.trashed, c.trashed);
    EXPECT_EQ(asset.originalName, c.originalName);
    EXPECT_EQ(asset.created, c.created);
  }
}

TEST_F(PhotoLibraryTest, FilesThatAreNoDatabase) {
  PhotoLibrary library;
  EXPECT_TRUE(ReadPhotoLibrary((m_folder.Path() / "missing.sqlite").string(), &library));
  const std::filesystem::path text = m_folder.Path() / "text.sqlite";
  std::ofstream(text) << "not a database, just text that is long enough to have a header of sorts";
  EXPECT_EQ(ReadPhotoLibrary(text.string(), &library), kBadFile);
  EXPECT_TRUE(library.empty());
}

TEST(PhotoLibraryKeyTest, PathBelowTheCameraRollMediaFolder) {
  EXPECT_EQ(PhotoLibraryKey("CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.HEIC"), "DCIM/100APPLE/IMG_0001.HEIC");
  EXPECT_EQ(PhotoLibraryKey("MediaDomain-Media/DCIM/100APPLE/IMG_0001.HEIC"), "");
  EXPECT_EQ(PhotoLibraryKey("CameraRollDomain-Media"), "");
}

}  // namespace
}  // namespace scrivel
