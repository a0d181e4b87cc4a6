// Replays the fuzz seeds (tests/fuzz/corpus/) and a fixed set of damaged
// copies of a small database through the same driver as the fuzz target:
// whatever the bytes, the reader must end without a crash or a hang.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "fuzz_driver.h"
#include "test_database.h"

namespace scrivel::sqlite_recovery {
namespace {

using testing::CreateDatabase;
using testing::ReadBytes;
using testing::RunReaderOnBytes;
using testing::TempFolder;

TEST(FuzzReplayTest, CommittedSeedsRun) {
  const std::filesystem::path corpus = std::filesystem::path(SCRIVEL_SOURCE_DIR) / "tests/fuzz/corpus";
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::vector<std::uint8_t> bytes = ReadBytes(entry.path());
    EXPECT_GT(RunReaderOnBytes(bytes.data(), bytes.size()), 0u) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 3u);
}

TEST(FuzzReplayTest, DamagedDatabasesEndCleanly) {
  TempFolder folder;
  const auto path = folder.Path("seed.db");
  CreateDatabase(path, 512,
                 "CREATE TABLE message(ROWID INTEGER PRIMARY KEY, guid TEXT, text TEXT, a, b, handle_id INTEGER);"
                 "CREATE INDEX m ON message(text);"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<60)"
                 "  INSERT INTO message(guid, text, handle_id) SELECT printf('%036d', x), printf('%.*c', x * 7, 'm'), x FROM c;"
                 "DELETE FROM message WHERE ROWID % 3 = 0;");
  const std::vector<std::uint8_t> original = ReadBytes(path);
  std::mt19937 random(20261210);
  for (int round = 0; round < 120; ++round) {
    std::vector<std::uint8_t> bytes = original;
    const int damage = round % 4;
    if (damage == 3) {
      bytes.resize(random() % bytes.size());  // cut anywhere
    } else {
      const int flips = 1 + damage * 8;
      for (int i = 0; i < flips; ++i) {
        const std::size_t at = random() % bytes.size();
        bytes[at] = damage == 2 ? static_cast<std::uint8_t>(0xFF) : static_cast<std::uint8_t>(random());
      }
    }
    (void)RunReaderOnBytes(bytes.data(), bytes.size());
  }
}

}  // namespace
}  // namespace scrivel::sqlite_recovery
