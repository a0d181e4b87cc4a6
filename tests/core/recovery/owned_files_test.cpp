#include "core/recovery/owned_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace scrivel {
namespace {

namespace fs = std::filesystem;

class OwnedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("scrivel-owned-" + std::to_string(std::random_device{}()));
    fs::create_directories(m_dir / "work/sub");
    fs::create_directories(m_dir / "backup");
    touch("work/a.tmp");
    touch("work/sub/b.tmp");
    touch("backup/Manifest.db");
  }
  void TearDown() override { fs::remove_all(m_dir); }
  void touch(const std::string& relative) { std::ofstream(m_dir / relative) << "x"; }
  std::string at(const std::string& relative) const { return (m_dir / relative).string(); }
  std::vector<std::string> owned() const { return {at("work") + "/"}; }
  fs::path m_dir;
};

TEST_F(OwnedFilesTest, NeverDeletesOutsideOwnedFolders) {
  fs::create_symlink(at("backup/Manifest.db"), at("work/link-to-backup"));
  const struct {
    std::string path;
    bool deleted;
    const char* what;
  } cases[] = {
      {at("backup/Manifest.db"), false, "a backup file"},
      {at("work/../backup/Manifest.db"), false, "escape through .."},
      {at("work/link-to-backup"), false, "a link that points into the backup"},
      {at("work"), false, "the owned folder itself"},
      {"", false, "empty path"},
      {at("work/a.tmp"), true, "a temporary file"},
  };
  for (const auto& c : cases) EXPECT_EQ(RemoveOwnedFile(c.path, owned()), c.deleted) << c.what;
  EXPECT_TRUE(fs::exists(at("backup/Manifest.db")));
  EXPECT_FALSE(fs::exists(at("work/a.tmp")));
}

TEST_F(OwnedFilesTest, ClearsPlainFilesOfAnOwnedFolderOnly) {
  RemoveOwnedFilesIn(at("backup"), owned());
  EXPECT_TRUE(fs::exists(at("backup/Manifest.db")));
  RemoveOwnedFilesIn(at("work"), owned());
  EXPECT_FALSE(fs::exists(at("work/a.tmp")));
  EXPECT_TRUE(fs::exists(at("work/sub/b.tmp")));
}

}  // namespace
}  // namespace scrivel
