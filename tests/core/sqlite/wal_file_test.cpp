#include "core/sqlite/wal_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/live_database.h"
#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::LiveDatabase;
using testing::Put32;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr std::uint32_t kPageSize = 1024;
constexpr std::size_t kFrameSize = wal_format::kFrameHeaderSize + kPageSize;

constexpr const char* kCreateTable = "CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT);";
constexpr const char* kInsertRows =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<30)"
    "  INSERT INTO t(body) SELECT printf('row-%03d-%0200d', x, x) FROM c;";

std::size_t CountFrames(const WalFile& wal, WalFrameState state) {
  return static_cast<std::size_t>(std::count_if(wal.Frames().begin(), wal.Frames().end(),
                                                [&](const WalFrame& frame) { return frame.state == state; }));
}

// Index of the frame after the `n`th commit frame (n counting from 1).
std::size_t FrameAfterCommit(const WalFile& wal, int n) {
  for (std::size_t i = 0; i < wal.Frames().size(); ++i) {
    if (wal.Frames()[i].databaseSize != 0 && --n == 0) return i + 1;
  }
  return wal.Frames().size();
}

// A log of three committed transactions: the table, its rows, one row deleted.
std::filesystem::path WriteThreeCommits(const TempFolder& folder) {
  LiveDatabase db(folder.Path("live.db"), kPageSize, "WAL");
  db.Exec(kCreateTable);
  db.Exec(kInsertRows);
  db.Exec("DELETE FROM t WHERE id = 7;");
  db.CopyTo(folder.Path("copy.db"));
  return folder.Path("copy.db-wal");
}

TEST(WalFileTest, EveryFrameOfCommittedTransactionsIsCommitted) {
  TempFolder folder;
  const auto walPath = WriteThreeCommits(folder);
  WalFile wal;
  ASSERT_FALSE(wal.Open(walPath.string(), kPageSize));
  EXPECT_TRUE(wal.HasFrames());
  EXPECT_TRUE(wal.Problems().empty());
  ASSERT_FALSE(wal.Frames().empty());
  EXPECT_EQ(CountFrames(wal, WalFrameState::kCommitted), wal.Frames().size());
  EXPECT_EQ(FrameAfterCommit(wal, 3), wal.Frames().size());  // the last frame commits the third transaction
  EXPECT_EQ(wal.CommittedDatabaseSize(), wal.Frames().back().databaseSize);
  EXPECT_EQ(wal.Frames().back().imageOffset, ReadBytes(walPath).size() - kPageSize);
}

TEST(WalFileTest, FramesOfATransactionStillOpenAreUncommitted) {
  TempFolder folder;
  LiveDatabase db(folder.Path("live.db"), kPageSize, "WAL");
  db.Exec(kCreateTable);
  // A small page cache makes the open transaction spill its pages into the log.
  db.Exec("PRAGMA cache_size=5; BEGIN;");
  db.Exec(kInsertRows);
  db.CopyTo(folder.Path("copy.db"));
  db.Exec("COMMIT;");

  WalFile wal;
  ASSERT_FALSE(wal.Open(folder.Path("copy.db-wal").string(), kPageSize));
  EXPECT_TRUE(wal.Problems().empty());
  const std::size_t committed = FrameAfterCommit(wal, 1);
  EXPECT_EQ(CountFrames(wal, WalFrameState::kCommitted), committed);
  EXPECT_GT(CountFrames(wal, WalFrameState::kUncommitted), 0u);
  EXPECT_EQ(CountFrames(wal, WalFrameState::kUncommitted), wal.Frames().size() - committed);
  EXPECT_EQ(wal.CommittedDatabaseSize(), wal.Frames()[committed - 1].databaseSize);
}

TEST(WalFileTest, FramesLeftFromBeforeTheLogRestartedAreStale) {
  TempFolder folder;
  LiveDatabase db(folder.Path("live.db"), kPageSize, "WAL");
  db.Exec(kCreateTable);
  db.Exec(kInsertRows);
  // After a full checkpoint the next writer starts the log again from its
  // start with new salts; the older frames behind the new ones stay.
  db.Exec("PRAGMA wal_checkpoint(PASSIVE);");
  db.Exec("UPDATE t SET body = 'short' WHERE id = 1;");
  db.CopyTo(folder.Path("copy.db"));

  WalFile wal;
  ASSERT_FALSE(wal.Open(folder.Path("copy.db-wal").string(), kPageSize));
  EXPECT_TRUE(wal.Problems().empty());  // a restarted log is no damage
  const std::size_t committed = FrameAfterCommit(wal, 1);
  EXPECT_EQ(CountFrames(wal, WalFrameState::kCommitted), committed);
  EXPECT_EQ(CountFrames(wal, WalFrameState::kUncommitted), 0u);
  EXPECT_EQ(CountFrames(wal, WalFrameState::kStale), wal.Frames().size() - committed);
  EXPECT_GT(wal.Frames().size(), committed + 10);
}

TEST(WalFileTest, DamagedLogsAreReportedAndReadAsFarAsTheyHold) {
  TempFolder folder;
  const auto walPath = WriteThreeCommits(folder);
  const std::vector<std::uint8_t> original = ReadBytes(walPath);
  WalFile intact;
  ASSERT_FALSE(intact.Open(walPath.string(), kPageSize));
  const std::size_t afterSecondCommit = FrameAfterCommit(intact, 2);
  ASSERT_LT(afterSecondCommit, intact.Frames().size());
  const std::uint32_t secondCommitSize = intact.Frames()[afterSecondCommit - 1].databaseSize;
  const std::size_t firstFrameOfThird = wal_format::kHeaderSize + afterSecondCommit * kFrameSize;

  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    bool hasFrames;
    bool problem;
    std::size_t committedFrames;
    std::size_t uncommittedFrames;
    std::uint32_t committedSize;
  };
  const std::size_t all = intact.Frames().size();
  const std::size_t thirdFrames = all - afterSecondCommit;
  const Case cases[] = {
      {"empty log", [](auto& b) { b.clear(); }, false, false, 0, 0, 0},
      {"shorter than its header", [](auto& b) { b.resize(20); }, false, true, 0, 0, 0},
      {"not a log", [](auto& b) { b[0] ^= 0x10; }, false, true, 0, 0, 0},
      {"unknown version", [](auto& b) { Put32(b, wal_format::kVersionOffset, 3007001); }, false, true, 0, 0, 0},
      {"other page size", [](auto& b) { Put32(b, wal_format::kPageSizeOffset, 2048); }, false, true, 0, 0, 0},
      {"header checksum broken", [](auto& b) { b[wal_format::kChecksum1Offset] ^= 1; }, true, true, 0, 0, 0},
      // The commit frame is cut: the frames of its transaction before it never committed.
      {"last frame cut short", [](auto& b) { b.resize(b.size() - 100); }, true, true, afterSecondCommit,
       thirdFrames - 1, secondCommitSize},
      {"byte flipped in the third transaction",
       [&](auto& b) { b[firstFrameOfThird + wal_format::kFrameHeaderSize + 500] ^= 0x40; }, true, true,
       afterSecondCommit, 0, secondCommitSize},
      {"salt changed in the third transaction",
       [&](auto& b) { b[firstFrameOfThird + wal_format::kFrameSalt1Offset] ^= 1; }, true, false, afterSecondCommit,
       0, secondCommitSize},
      {"unchanged", [](auto&) {}, true, false, all, 0, intact.CommittedDatabaseSize()},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = original;
    c.damage(bytes);
    WriteBytes(walPath, bytes);
    WalFile wal;
    ASSERT_FALSE(wal.Open(walPath.string(), kPageSize)) << c.name;
    EXPECT_EQ(wal.HasFrames(), c.hasFrames) << c.name;
    EXPECT_EQ(!wal.Problems().empty(), c.problem) << c.name;
    EXPECT_EQ(CountFrames(wal, WalFrameState::kCommitted), c.committedFrames) << c.name;
    EXPECT_EQ(CountFrames(wal, WalFrameState::kUncommitted), c.uncommittedFrames) << c.name;
    EXPECT_EQ(wal.CommittedDatabaseSize(), c.committedSize) << c.name;
    // Every whole frame of a readable log is listed, whatever its state.
    if (c.hasFrames) {
      EXPECT_EQ(wal.Frames().size(), (bytes.size() - wal_format::kHeaderSize) / kFrameSize) << c.name;
    }
  }
}

TEST(WalFileTest, AnotherPageSizeThanTheDatabasesIsDamage) {
  TempFolder folder;
  const auto walPath = WriteThreeCommits(folder);
  WalFile wal;
  ASSERT_FALSE(wal.Open(walPath.string(), 4096));
  EXPECT_FALSE(wal.HasFrames());
  EXPECT_EQ(wal.Problems().size(), 1u);
  EXPECT_TRUE(wal.Frames().empty());
}

}  // namespace
}  // namespace scrivel::sqlite
