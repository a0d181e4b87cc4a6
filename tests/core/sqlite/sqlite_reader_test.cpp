#include "core/sqlite/sqlite_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "core/common/result_codes.h"
#include "core/sqlite/sqlite_format.h"
#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::CreateDatabase;
using testing::Put32;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr const char* kRowsThenDeleteHalf =
    "CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT);"
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<400)"
    "  INSERT INTO t(body) SELECT printf('%0200d', x) FROM c;"
    "DELETE FROM t WHERE id > 200;";

TEST(SqliteReaderTest, OpenChecksTheMagicTextAndThePageSize) {
  TempFolder folder;
  const auto good = folder.Path("good.db");
  CreateDatabase(good, 1024, "CREATE TABLE t(a);");
  const std::vector<std::uint8_t> original = ReadBytes(good);

  struct Case {
    const char* name;
    std::size_t offset;
    std::vector<std::uint8_t> patch;
    std::error_code expected;
  };
  const Case cases[] = {
      {"unchanged", 0, {}, std::error_code{}},
      {"magic in other letter case", 0, {'s', 'q', 'l', 'i', 't', 'e', ' ', 'F', 'O', 'R', 'M', 'A', 'T'}, std::error_code{}},
      {"16th byte not NUL", 15, {'!'}, kBadFile},
      {"other magic", 0, {'X'}, kBadFile},
      {"page size 0", 16, {0, 0}, kBadFile},
      {"page size not a power of two", 16, {0x03, 0x00}, kBadFile},
      {"page size 256", 16, {0x01, 0x00}, kBadFile},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = original;
    std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(c.offset));
    const auto path = folder.Path("case.db");
    WriteBytes(path, bytes);
    SqliteReader reader;
    EXPECT_EQ(reader.Open(path.string()), c.expected) << c.name;
  }
}

TEST(SqliteReaderTest, OpenReportsMissingShortAndForeignFiles) {
  TempFolder folder;
  SqliteReader reader;
  // A missing file is a bad file, with the operating system's reason beside
  // it; it can never read as a cancel (ENOENT and the cancel code are both 2).
  const std::error_code missing = reader.Open(folder.Path("missing.db").string());
  EXPECT_EQ(missing, kBadFile);
  EXPECT_NE(missing, kCancelled);
  EXPECT_EQ(reader.OpenSystemError(), std::errc::no_such_file_or_directory);
  EXPECT_EQ(reader.Open(folder.Path("").string()), kBadFile);  // a folder is not a database

  WriteBytes(folder.Path("empty.db"), {});
  EXPECT_EQ(reader.Open(folder.Path("empty.db").string()), kBadFile);

  const std::string text = "just some text, not a database at all";
  WriteBytes(folder.Path("text.db"), std::vector<std::uint8_t>(text.begin(), text.end()));
  EXPECT_EQ(reader.Open(folder.Path("text.db").string()), kBadFile);
}

TEST(SqliteReaderTest, PageSizeFieldOneMeans65536) {
  TempFolder folder;
  const auto path = folder.Path("big-pages.db");
  CreateDatabase(path, 65536, "CREATE TABLE t(a); INSERT INTO t VALUES('x');");
  ASSERT_EQ(ReadBytes(path)[16], 0);
  ASSERT_EQ(ReadBytes(path)[17], 1);
  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path.string()));
  EXPECT_EQ(reader.PageSize(), 65536u);
  std::vector<std::uint8_t> page(reader.PageSize());
  EXPECT_FALSE(reader.ReadPage(1, page));
}

TEST(SqliteReaderTest, ReadPageReportsShortReadsAndAClosedReader) {
  TempFolder folder;
  const auto path = folder.Path("cut.db");
  CreateDatabase(path, 1024, kRowsThenDeleteHalf);
  std::vector<std::uint8_t> bytes = ReadBytes(path);
  bytes.resize(bytes.size() - 100);  // the last page ends early
  WriteBytes(path, bytes);

  SqliteReader reader;
  std::vector<std::uint8_t> page(1024);
  EXPECT_EQ(reader.ReadPage(0, page), kBadFile);
  ASSERT_FALSE(reader.Open(path.string()));
  EXPECT_FALSE(reader.ReadPage(0, page));
  EXPECT_EQ(reader.ReadPage(static_cast<std::uint32_t>(bytes.size() / 1024), page), kShortRead);
  EXPECT_EQ(reader.ReadPage(100000, page), kShortRead);
}

TEST(SqliteReaderTest, CollectsTheFreelistLeavesInChainOrder) {
  TempFolder folder;
  const auto path = folder.Path("free.db");
  CreateDatabase(path, 1024, kRowsThenDeleteHalf);
  SqliteReader reader;
  ASSERT_FALSE(reader.Open(path.string()));
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  const std::uint32_t freeCount = (bytes[36] << 24) | (bytes[37] << 16) | (bytes[38] << 8) | bytes[39];
  ASSERT_GT(freeCount, 10u);
  // The header counts trunks and leaves; one trunk holds all leaves here.
  EXPECT_EQ(reader.FreePages().size(), freeCount - 1);

  CreateDatabase(path, 1024, "CREATE TABLE t(a);");
  ASSERT_FALSE(reader.Open(path.string()));
  EXPECT_TRUE(reader.FreePages().empty());
}

// Hand-made trunk chains: each walk must end and list every leaf once.
TEST(SqliteReaderTest, CorruptTrunkChainsEnd) {
  TempFolder folder;
  const auto path = folder.Path("trunks.db");
  // Page 1 plus 9 pages of filler; then the freelist is rewritten by hand.
  CreateDatabase(path, 512,
                 "CREATE TABLE t(a);"
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<9)"
                 "  INSERT INTO t SELECT zeroblob(450) FROM c;");
  const std::vector<std::uint8_t> original = ReadBytes(path);
  ASSERT_GE(original.size(), 10u * 512);
  const auto trunk = [](std::uint32_t page) { return (page - 1) * 512; };

  struct Case {
    const char* name;
    std::vector<std::pair<std::size_t, std::uint32_t>> words;  // byte offset -> 32-bit value
    std::vector<std::uint32_t> expected;                       // page indexes
  };
  const Case cases[] = {
      {"trunk pointing at itself", {{32, 4}, {trunk(4), 4}, {trunk(4) + 4, 1}, {trunk(4) + 8, 5}}, {4}},
      {"two trunks in a cycle",
       {{32, 4}, {trunk(4), 6}, {trunk(4) + 4, 1}, {trunk(4) + 8, 5}, {trunk(6), 4}, {trunk(6) + 4, 1}, {trunk(6) + 8, 7}},
       {4, 6}},
      {"trunk with no leaves, then another", {{32, 4}, {trunk(4), 6}, {trunk(4) + 4, 0}, {trunk(6), 0}, {trunk(6) + 4, 1}, {trunk(6) + 8, 8}}, {7}},
      {"leaf count far too large", {{32, 4}, {trunk(4), 0}, {trunk(4) + 4, 0xFFFFFFFF}, {trunk(4) + 8, 5}}, {4}},
      {"leaves outside the file and repeated", {{32, 4}, {trunk(4), 0}, {trunk(4) + 4, 4}, {trunk(4) + 8, 0}, {trunk(4) + 12, 999}, {trunk(4) + 16, 5}, {trunk(4) + 20, 5}}, {4}},
      {"first trunk outside the file", {{32, 999}}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = original;
    for (std::size_t i = 0; i < 4 * 512; ++i) bytes[trunk(4) + i] = 0;  // clear pages 4 to 7
    for (const auto& [offset, value] : c.words) Put32(bytes, offset, value);
    WriteBytes(path, bytes);
    SqliteReader reader;
    ASSERT_FALSE(reader.Open(path.string())) << c.name;
    EXPECT_EQ(reader.FreePages(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace scrivel::sqlite
