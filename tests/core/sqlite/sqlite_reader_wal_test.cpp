// The page reader with the files beside a database: the write-ahead log's
// last committed state as the current pages, the images it replaced and the
// journal's images as older images, and nothing beside the file changed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "core/sqlite/btree_walk.h"
#include "core/sqlite/cell_payload.h"
#include "core/sqlite/page_header.h"
#include "core/sqlite/page_set.h"
#include "core/sqlite/record.h"
#include "core/sqlite/schema.h"
#include "core/sqlite/sqlite_reader.h"
#include "core/sqlite/wal_file.h"
#include "support/live_database.h"
#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::LiveDatabase;
using testing::Put32;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr const char* kCreateTable = "CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT);";

std::string InsertRows(const char* prefix, int count) {
  return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" + std::to_string(count) +
         ") INSERT INTO t(body) SELECT printf('" + prefix + "-%03d-%0150d', x, x) FROM c;";
}

// The body texts of the live rows of table "t" (its leaf pages' cells),
// or of nothing when the reader finds no such table.
std::multiset<std::string> LiveBodies(SqliteReader& reader) {
  std::vector<std::uint32_t> roots;
  EXPECT_FALSE(FindTableRoots(reader, "t", &roots));
  PageSet visited(reader.PageCount());
  PageSet leaves(reader.PageCount());
  for (const std::uint32_t root : roots) EXPECT_FALSE(CollectLeafPages(reader, root, visited, leaves));
  std::multiset<std::string> bodies;
  std::vector<std::uint8_t> page(reader.PageSize());
  for (const std::uint32_t leaf : leaves.Ascending()) {
    EXPECT_FALSE(reader.ReadPage(leaf, page));
    const auto header = ReadPageHeader(page, PageHeaderOffset(leaf));
    if (!header) continue;
    for (const std::uint32_t offset : CellOffsets(page, *header)) {
      CellPayload cell;
      EXPECT_FALSE(ReadTableLeafCell(reader, page, offset, &cell));
      const auto layout = LiveRecordLayout(cell.bytes);
      if (!layout) continue;
      ForEachColumn(cell.bytes, *layout, [&](int column, const ColumnValue& value) {
        if (column == 1 && value.IsText()) bodies.insert(std::string(value.Text()));
      });
    }
  }
  return bodies;
}

std::string Body(const char* prefix, int n) {
  char buffer[200];
  std::snprintf(buffer, sizeof buffer, "%s-%03d-%0150d", prefix, n, n);
  return buffer;
}

// How many older images of `source` hold `text`.
int ImagesHolding(const SqliteReader& reader, RowSource source, const std::string& text) {
  std::vector<std::uint8_t> page(reader.PageSize());
  int count = 0;
  for (const PageImage& image : reader.OlderImages()) {
    if (image.source != source) continue;
    EXPECT_FALSE(reader.ReadImage(image, page));
    const std::string_view bytes(reinterpret_cast<const char*>(page.data()), page.size());
    if (bytes.find(text) != std::string_view::npos) ++count;
  }
  return count;
}

// Names and modification times of a folder's files.
std::map<std::string, std::filesystem::file_time_type> Listing(const std::filesystem::path& folder) {
  std::map<std::string, std::filesystem::file_time_type> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files[entry.path().filename().string()] = std::filesystem::last_write_time(entry.path());
  }
  return files;
}

TEST(SqliteReaderWalTest, AShellMainFileWithEverythingInTheLog) {
  TempFolder folder;
  {
    LiveDatabase db(folder.Path("live.db"), 4096, "WAL");
    db.Exec(kCreateTable);
    db.Exec(InsertRows("row", 40));
    db.Exec("DELETE FROM t WHERE id = 7;");
    std::filesystem::create_directory(folder.Path("copy"));
    db.CopyTo(folder.Path("copy") / "shell.db");
  }
  const auto path = folder.Path("copy") / "shell.db";
  ASSERT_EQ(std::filesystem::file_size(path), 4096u);  // the main file is one page, the header only
  const auto before = Listing(folder.Path("copy"));

  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path.string()));
  EXPECT_TRUE(reader.HasWal());
  EXPECT_TRUE(reader.Problems().empty());
  EXPECT_GT(reader.PageCount(), 1u);
  std::multiset<std::string> expected;
  for (int n = 1; n <= 40; ++n) {
    if (n != 7) expected.insert(Body("row", n));
  }
  EXPECT_EQ(LiveBodies(reader), expected);
  // The row deleted by the last commit lives on in the image that commit replaced.
  EXPECT_GE(ImagesHolding(reader, RowSource::kWalSuperseded, Body("row", 7)), 1);
  EXPECT_EQ(ImagesHolding(reader, RowSource::kWalUncommitted, Body("row", 7)), 0);

  SqliteReader mainFileAlone;
  ASSERT_FALSE(mainFileAlone.Open(path.string(), OpenOptions{.readWal = false}));
  EXPECT_FALSE(mainFileAlone.HasWal());
  EXPECT_EQ(mainFileAlone.PageCount(), 1u);
  EXPECT_TRUE(mainFileAlone.OlderImages().empty());
  EXPECT_TRUE(LiveBodies(mainFileAlone).empty());

  // Reading made no shared-memory file and changed nothing beside the database.
  EXPECT_EQ(Listing(folder.Path("copy")), before);
  EXPECT_FALSE(std::filesystem::exists(path.string() + "-shm"));
}

TEST(SqliteReaderWalTest, UncommittedFramesLeaveTheLiveRowsAlone) {
  TempFolder folder;
  LiveDatabase db(folder.Path("live.db"), 1024, "WAL");
  db.Exec(kCreateTable);
  db.Exec(InsertRows("row", 10));
  db.Exec("PRAGMA wal_checkpoint(PASSIVE);");  // the main file holds the ten rows too
  db.Exec("PRAGMA cache_size=5; BEGIN; DELETE FROM t WHERE id <= 5;");
  db.Exec(InsertRows("pending", 60));  // spills into the log before any commit
  db.CopyTo(folder.Path("copy.db"));
  db.Exec("COMMIT;");

  SqliteReader reader;
  ASSERT_FALSE(reader.Open(folder.Path("copy.db").string()));
  EXPECT_TRUE(reader.HasWal());
  std::multiset<std::string> expected;
  for (int n = 1; n <= 10; ++n) expected.insert(Body("row", n));
  EXPECT_EQ(LiveBodies(reader), expected);
  EXPECT_GE(ImagesHolding(reader, RowSource::kWalUncommitted, Body("pending", 1)), 1);
  EXPECT_EQ(ImagesHolding(reader, RowSource::kWalSuperseded, Body("pending", 1)), 0);
}

TEST(SqliteReaderWalTest, ABrokenChecksumEndsTheCommittedStateThere) {
  TempFolder folder;
  LiveDatabase db(folder.Path("live.db"), 1024, "WAL");
  db.Exec(kCreateTable);
  db.Exec(InsertRows("row", 10));
  db.Exec(InsertRows("late", 10));
  db.CopyTo(folder.Path("copy.db"));
  const auto walPath = folder.Path("copy.db-wal");

  WalFile wal;
  ASSERT_FALSE(wal.Open(walPath.string(), 1024));
  std::size_t afterSecondCommit = 0;
  for (int commits = 0; commits < 2; ++afterSecondCommit) {
    if (wal.Frames().at(afterSecondCommit).databaseSize != 0) ++commits;
  }
  std::vector<std::uint8_t> bytes = ReadBytes(walPath);
  bytes.at(wal.Frames().at(afterSecondCommit).imageOffset + 700) ^= 0x01;
  WriteBytes(walPath, bytes);

  SqliteReader reader;
  ASSERT_FALSE(reader.Open(folder.Path("copy.db").string()));
  EXPECT_EQ(reader.Problems().size(), 1u);
  std::multiset<std::string> expected;
  for (int n = 1; n <= 10; ++n) expected.insert(Body("row", n));
  EXPECT_EQ(LiveBodies(reader), expected);
  EXPECT_GE(ImagesHolding(reader, RowSource::kWalSuperseded, Body("late", 10)), 1);
}

TEST(SqliteReaderWalTest, TheJournalsImagesAreOlderImages) {
  TempFolder folder;
  LiveDatabase db(folder.Path("live.db"), 1024, "DELETE");
  db.Exec(kCreateTable);
  db.Exec(InsertRows("row", 30));
  db.Exec("BEGIN; UPDATE t SET body = replace(body, 'row-', 'new-');");
  db.CopyTo(folder.Path("copy.db"));
  db.Exec("COMMIT;");

  SqliteReader reader;
  ASSERT_FALSE(reader.Open(folder.Path("copy.db").string()));
  EXPECT_FALSE(reader.HasWal());
  EXPECT_TRUE(reader.Problems().empty());
  EXPECT_GE(ImagesHolding(reader, RowSource::kJournal, Body("row", 30)), 1);

  SqliteReader withoutJournal;
  ASSERT_FALSE(withoutJournal.Open(folder.Path("copy.db").string(), OpenOptions{.readJournal = false}));
  EXPECT_TRUE(withoutJournal.OlderImages().empty());
}

TEST(SqliteReaderWalTest, FilesBesideThatCannotBeTrustedAreNotRead) {
  TempFolder folder;
  {
    LiveDatabase db(folder.Path("live.db"), 1024, "WAL");
    db.Exec(kCreateTable);
    db.Exec(InsertRows("row", 10));
    db.CopyTo(folder.Path("copy.db"));
  }
  const std::string path = folder.Path("copy.db").string();
  std::filesystem::rename(path + "-wal", folder.Path("elsewhere.wal"));

  // A link named as the log is not followed.
  std::filesystem::create_symlink(folder.Path("elsewhere.wal"), path + "-wal");
  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path));
  EXPECT_FALSE(reader.HasWal());
  EXPECT_EQ(reader.Problems().size(), 1u);
  EXPECT_EQ(reader.PageCount(), 1u);

  // A log of another page size leaves the main file to be read alone.
  std::filesystem::remove(path + "-wal");
  std::vector<std::uint8_t> log = ReadBytes(folder.Path("elsewhere.wal"));
  Put32(log, wal_format::kPageSizeOffset, 4096);
  WriteBytes(path + "-wal", log);
  ASSERT_FALSE(reader.Open(path));
  EXPECT_FALSE(reader.HasWal());
  EXPECT_EQ(reader.Problems().size(), 1u);
  EXPECT_EQ(reader.PageCount(), 1u);
  EXPECT_TRUE(reader.OlderImages().empty());
}

TEST(SqliteReaderWalTest, AForgedCommitSizeCannotPromiseMorePagesThanExist) {
  TempFolder folder;
  {
    LiveDatabase db(folder.Path("live.db"), 1024, "WAL");
    db.Exec(kCreateTable);
    db.CopyTo(folder.Path("copy.db"));
  }
  // Rewrites the log's only commit with a size of four billion pages,
  // checksums and all, as a forger would.
  const auto walPath = folder.Path("copy.db-wal");
  WalFile wal;
  ASSERT_FALSE(wal.Open(walPath.string(), 1024));
  const std::size_t pagesInLog = wal.Frames().size();
  std::vector<std::uint8_t> bytes = ReadBytes(walPath);
  const std::size_t lastFrame = wal.Frames().back().imageOffset - wal_format::kFrameHeaderSize;
  Put32(bytes, lastFrame + wal_format::kFrameDatabaseSizeOffset, 0xfffffff0);
  // Recompute the cumulative checksums of every frame (little-endian words).
  auto word = [&](std::size_t at) {
    return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) | (std::uint32_t{bytes[at + 2]} << 16) |
           (std::uint32_t{bytes[at + 3]} << 24);
  };
  auto putWord = [&](std::size_t at, std::uint32_t value) { Put32(bytes, at, value); };
  std::uint32_t s1 = 0;
  std::uint32_t s2 = 0;
  auto add = [&](std::size_t from, std::size_t size) {
    for (std::size_t i = from; i < from + size; i += 8) {
      s1 += word(i) + s2;
      s2 += word(i + 4) + s1;
    }
  };
  add(0, wal_format::kHeaderChecksummedSize);
  for (const WalFrame& frame : wal.Frames()) {
    const std::size_t header = frame.imageOffset - wal_format::kFrameHeaderSize;
    add(header, wal_format::kFrameHeaderChecksummedSize);
    add(frame.imageOffset, 1024);
    putWord(header + wal_format::kFrameChecksum1Offset, s1);
    putWord(header + wal_format::kFrameChecksum2Offset, s2);
  }
  WriteBytes(walPath, bytes);

  SqliteReader reader;
  ASSERT_FALSE(reader.Open(folder.Path("copy.db").string()));
  EXPECT_TRUE(reader.HasWal());
  EXPECT_EQ(reader.Problems().size(), 1u);
  EXPECT_LE(reader.PageCount(), 1 + pagesInLog);
}

}  // namespace
}  // namespace scrivel::sqlite
