#include "core/sqlite/rollback_journal.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

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

// Writes "before.db", a database of 60 rows, then copies it as "copy.db"
// with its journal in the middle of a transaction that rewrites every row,
// and as "after.db" once the transaction committed.
// The small page cache makes the transaction spill pages to the file
// before it ends, so the journal is synced and grows several segments.
void WriteJournalMidTransaction(const TempFolder& folder) {
  LiveDatabase db(folder.Path("live.db"), kPageSize, "DELETE");
  db.Exec("CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT);"
          "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<60)"
          "  INSERT INTO t(body) SELECT printf('old-%03d-%0300d', x, x) FROM c;");
  db.CopyTo(folder.Path("before.db"));
  db.Exec("PRAGMA cache_size=5; BEGIN; UPDATE t SET body = printf('new-%03d-%0300d', id, id);");
  db.CopyTo(folder.Path("copy.db"));
  db.Exec("COMMIT;");
  db.CopyTo(folder.Path("after.db"));
}

TEST(RollbackJournalTest, KeepsTheImageOfEveryPageFromBeforeTheTransaction) {
  TempFolder folder;
  WriteJournalMidTransaction(folder);
  const std::vector<std::uint8_t> before = ReadBytes(folder.Path("before.db"));
  const std::vector<std::uint8_t> after = ReadBytes(folder.Path("after.db"));
  ASSERT_EQ(after.size(), before.size());
  const std::size_t beforePages = before.size() / kPageSize;

  RollbackJournal journal;
  ASSERT_FALSE(journal.Open(folder.Path("copy.db-journal").string(), kPageSize));
  EXPECT_TRUE(journal.Problems().empty());
  std::set<std::uint32_t> pages;
  std::vector<std::uint8_t> image(kPageSize);
  for (const JournalRecord& record : journal.Records()) {
    ASSERT_GE(record.pageNumber, 1u);
    ASSERT_LE(record.pageNumber, beforePages);
    EXPECT_TRUE(pages.insert(record.pageNumber).second) << "page " << record.pageNumber << " twice";
    ASSERT_FALSE(journal.Read(record.imageOffset, image));
    const auto start = before.begin() + static_cast<std::ptrdiff_t>((record.pageNumber - 1) * kPageSize);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), start)) << "page " << record.pageNumber;
  }
  // Every page the update rewrote had its old image journaled; page 1
  // changes only at the commit, after the copy.
  for (std::uint32_t page = 2; page <= beforePages; ++page) {
    const auto offset = static_cast<std::ptrdiff_t>((page - 1) * kPageSize);
    const bool rewritten = !std::equal(before.begin() + offset, before.begin() + offset + kPageSize, after.begin() + offset);
    EXPECT_EQ(pages.contains(page), rewritten) << "page " << page;
  }
  EXPECT_GT(pages.size(), beforePages / 2);
}

TEST(RollbackJournalTest, DamagedJournalsKeepWhatIsSound) {
  TempFolder folder;
  WriteJournalMidTransaction(folder);
  const auto path = folder.Path("copy.db-journal");
  const std::vector<std::uint8_t> original = ReadBytes(path);
  RollbackJournal intact;
  ASSERT_FALSE(intact.Open(path.string(), kPageSize));
  const std::size_t all = intact.Records().size();
  const std::uint32_t firstSegment = (std::uint32_t{original[8]} << 24) | (original[9] << 16) |
                                     (original[10] << 8) | original[11];
  // The first segment was synced, so its header states its record count.
  ASSERT_GE(firstSegment, 2u);
  ASSERT_LT(firstSegment, all);
  // Only one image byte in 200 enters a record's checksum, the first at 200 before the end.
  const std::size_t secondRecordChecked = intact.Records()[1].imageOffset + kPageSize - 200;

  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    bool problem;
    std::size_t records;
  };
  const Case cases[] = {
      {"empty journal", [](auto& b) { b.clear(); }, false, 0},
      {"shorter than its header", [](auto& b) { b.resize(20); }, true, 0},
      {"zeroed header", [](auto& b) { std::fill(b.begin(), b.begin() + 28, 0); }, true, 0},
      {"other page size", [](auto& b) { Put32(b, journal_format::kPageSizeOffset, 4096); }, true, 0},
      {"impossible sector size", [](auto& b) { Put32(b, journal_format::kSectorSizeOffset, 48); }, true, 0},
      // A header whose magic is still zero opens a transaction under way: its
      // records are read until one fails, here the next segment's header.
      {"magic not yet written", [](auto& b) { std::fill(b.begin(), b.begin() + 8, 0); }, false, firstSegment},
      {"second image damaged", [&](auto& b) { b[secondRecordChecked] ^= 0x20; }, true, 1},
      {"count past the end of the file", [](auto& b) { Put32(b, journal_format::kRecordCountOffset, 100000); }, true,
       firstSegment},
      {"cut inside the last record", [](auto& b) { b.resize(b.size() - 10); }, false, all - 1},
      {"unchanged", [](auto&) {}, false, all},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = original;
    c.damage(bytes);
    WriteBytes(path, bytes);
    RollbackJournal journal;
    ASSERT_FALSE(journal.Open(path.string(), kPageSize)) << c.name;
    EXPECT_EQ(!journal.Problems().empty(), c.problem) << c.name;
    EXPECT_EQ(journal.Records().size(), c.records) << c.name;
  }
}

TEST(RollbackJournalTest, AnotherPageSizeThanTheDatabasesIsDamage) {
  TempFolder folder;
  WriteJournalMidTransaction(folder);
  RollbackJournal journal;
  ASSERT_FALSE(journal.Open(folder.Path("copy.db-journal").string(), 512));
  EXPECT_TRUE(journal.Records().empty());
  EXPECT_EQ(journal.Problems().size(), 1u);
}

}  // namespace
}  // namespace scrivel::sqlite
