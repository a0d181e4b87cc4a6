#include "core/sqlite/candidate_scan.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_database.h"

namespace scrivel::sqlite {
namespace {

using testing::Put16;

constexpr std::size_t kPageSize = 512;

// The record (NULL, "hello", 7) of a three-column table as a cell with
// rowid 1:  payload size 10, rowid 1, header size 4, serial types 0 23 1,
// values "hello" and 7.
const std::vector<std::uint8_t> kCell = {0x0A, 0x01, 0x04, 0x00, 0x17, 0x01, 'h', 'e', 'l', 'l', 'o', 0x07};

CandidateRules ThreeColumns() {
  CandidateRules rules;
  rules.columns = 3;
  rules.headerColumns = 3;
  rules.usableSize = kPageSize;
  return rules;
}

// A table leaf page with one live cell at the page end and nothing else.
std::vector<std::uint8_t> LeafPage() {
  std::vector<std::uint8_t> page(kPageSize, 0);
  page[0] = 13;
  const std::size_t live = kPageSize - kCell.size();
  std::copy(kCell.begin(), kCell.end(), page.begin() + static_cast<std::ptrdiff_t>(live));
  Put16(page, 3, 1);
  Put16(page, 5, static_cast<std::uint16_t>(live));
  Put16(page, 8, static_cast<std::uint16_t>(live));
  return page;
}

// Turns the copy of kCell at `offset` into a free block of kCell's size.
void PutFreedCell(std::vector<std::uint8_t>& page, std::size_t offset, std::uint16_t next) {
  std::copy(kCell.begin(), kCell.end(), page.begin() + static_cast<std::ptrdiff_t>(offset));
  Put16(page, offset, next);
  Put16(page, offset + 2, static_cast<std::uint16_t>(kCell.size()));
}

std::vector<Candidate> Scan(const std::vector<std::uint8_t>& page) {
  const auto header = ReadPageHeader(page, 0);
  EXPECT_TRUE(header.has_value());
  return FindCandidates(page, *header, ThreeColumns());
}

std::vector<std::uint32_t> Offsets(const std::vector<Candidate>& candidates) {
  std::vector<std::uint32_t> offsets;
  for (const Candidate& c : candidates) offsets.push_back(c.offset);
  return offsets;
}

TEST(CandidateScanTest, FreeBlockChains) {
  struct Case {
    const char* name;
    std::uint16_t first;                                  // first free block
    std::vector<std::pair<std::size_t, std::uint16_t>> blocks;  // offset -> next
    std::vector<std::pair<std::size_t, std::uint16_t>> sizes;   // size fields to override
    std::vector<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"two blocks", 300, {{300, 400}, {400, 0}}, {}, {304, 404}},
      {"second block of size 0 ends the chain", 300, {{300, 400}, {400, 0}}, {{402, 0}}, {304}},
      {"block pointing at itself", 300, {{300, 300}}, {}, {304}},
      {"chain going backwards", 400, {{400, 300}, {300, 0}}, {}, {404}},
      {"block larger than the rest of the page", 300, {{300, 0}}, {{302, 400}}, {}},
      {"first block inside the page header", 4, {}, {}, {}},
      {"first block at the last byte", kPageSize - 1, {}, {}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> page = LeafPage();
    Put16(page, 1, c.first);
    for (const auto& [offset, next] : c.blocks) PutFreedCell(page, offset, next);
    for (const auto& [offset, size] : c.sizes) Put16(page, offset, size);
    std::vector<std::uint32_t> found;
    for (const Candidate& candidate : Scan(page))
      if (candidate.source == RowSource::kFreeBlock) found.push_back(candidate.offset);
    EXPECT_EQ(found, c.expected) << c.name;
  }
}

TEST(CandidateScanTest, StalePointers) {
  std::vector<std::uint8_t> page = LeafPage();
  const std::size_t live = kPageSize - kCell.size();
  // A whole deleted cell 100 bytes before the live one, still with its
  // payload size and rowid, and a stale pointer to it behind the live one.
  std::copy(kCell.begin(), kCell.end(), page.begin() + 300);
  Put16(page, 10, 300);
  EXPECT_EQ(Offsets(Scan(page)), std::vector<std::uint32_t>({303}));

  // A stale pointer within 6 bytes of the last live pointer is the live
  // cell again; one into the live cell is dropped as well.
  page = LeafPage();
  Put16(page, 10, static_cast<std::uint16_t>(live + 4));
  EXPECT_TRUE(Scan(page).empty());

  // A stale pointer to a free block already found gives no second candidate.
  page = LeafPage();
  Put16(page, 1, 300);
  PutFreedCell(page, 300, 0);
  Put16(page, 10, 300);
  const auto candidates = Scan(page);
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].source, RowSource::kFreeBlock);

  // Pointers past the page end stop the walk; pointers into the header are skipped.
  page = LeafPage();
  Put16(page, 10, 3);
  Put16(page, 12, 0xFFFF);
  EXPECT_TRUE(Scan(page).empty());
}

TEST(CandidateScanTest, SingleCellPageUsesTheContentStart) {
  std::vector<std::uint8_t> page = LeafPage();
  Put16(page, 8, 200);  // the one pointer disagrees with the content start
  const auto header = ReadPageHeader(page, 0);
  ASSERT_TRUE(header.has_value());
  EXPECT_EQ(CellOffsets(page, *header), std::vector<std::uint32_t>({static_cast<std::uint32_t>(kPageSize - kCell.size())}));
}

TEST(CandidateScanTest, GapRecordsWithIntactHeaders) {
  std::vector<std::uint8_t> page = LeafPage();
  // Two whole cells that joined the unallocated gap (the content start
  // moved past them), as SQLite leaves them.
  std::copy(kCell.begin(), kCell.end(), page.begin() + 476);
  std::copy(kCell.begin(), kCell.end(), page.begin() + 464);
  const auto found = Scan(page);
  std::vector<std::uint32_t> gap;
  for (const Candidate& c : found)
    if (c.source == RowSource::kGap) gap.push_back(c.offset);
  EXPECT_EQ(gap, std::vector<std::uint32_t>({467, 479}));
}

// A table that gained a fourth column after kCell's row was written: each
// scan recognises the row's three values where the record's own sizes tell
// the count (free-block size, intact header, payload size), and hands on
// that count; with the declared count alone it finds nothing.
TEST(CandidateScanTest, RecordsWithFewerValuesThanDeclared) {
  using Scanner = void (*)(Bytes, const PageHeader&, const CandidateRules&, CandidateList&);
  struct Case {
    const char* name;
    void (*place)(std::vector<std::uint8_t>& page);
    Scanner scan;
    std::uint32_t offset;
  };
  const Case cases[] = {
      {"freed cell in a free block",
       [](std::vector<std::uint8_t>& page) {
         Put16(page, 1, 300);
         PutFreedCell(page, 300, 0);
       },
       ScanFreeBlocks, 304},
      {"whole cell in the gap",
       [](std::vector<std::uint8_t>& page) { std::copy(kCell.begin(), kCell.end(), page.begin() + 476); },
       ScanUnallocatedGap, 479},
      {"whole cell behind a stale pointer",
       [](std::vector<std::uint8_t>& page) {
         std::copy(kCell.begin(), kCell.end(), page.begin() + 300);
         Put16(page, 10, 300);
       },
       ScanStalePointers, 303},
  };
  CandidateRules fourColumns = ThreeColumns();
  fourColumns.columns = 4;
  fourColumns.headerColumns = 4;
  CandidateRules threeToFour = fourColumns;
  threeToFour.fewestColumns = 3;
  for (const Case& c : cases) {
    std::vector<std::uint8_t> page = LeafPage();
    c.place(page);
    const auto header = ReadPageHeader(page, 0);
    ASSERT_TRUE(header.has_value());
    CandidateList found;
    c.scan(page, *header, threeToFour, found);
    ASSERT_EQ(found.Items().size(), 1u) << c.name;
    EXPECT_EQ(found.Items()[0].offset, c.offset) << c.name;
    EXPECT_EQ(found.Items()[0].columns, 3u) << c.name;
    CandidateList declaredOnly;
    c.scan(page, *header, fourColumns, declaredOnly);
    EXPECT_TRUE(declaredOnly.Items().empty()) << c.name;
    EXPECT_EQ(Offsets(FindCandidates(page, *header, threeToFour)), std::vector<std::uint32_t>({c.offset})) << c.name;
  }
}

// A record is whole only when nothing was written over it since: one that
// reaches into a live cell, or two that overlap, are left out.
TEST(CandidateScanTest, RecordsWrittenOverAreLeftOut) {
  const std::size_t live = kPageSize - kCell.size();
  // A freed cell whose tail the live cell now covers.
  std::vector<std::uint8_t> page = LeafPage();
  Put16(page, 1, static_cast<std::uint16_t>(live - 6));
  PutFreedCell(page, live - 6, 0);
  std::copy(kCell.begin(), kCell.end(), page.begin() + static_cast<std::ptrdiff_t>(live));
  EXPECT_TRUE(Scan(page).empty());

  // A merged free block: a freed cell whose tail a later cell covers, that
  // cell freed in turn with its leading fields intact. The later cell is
  // the whole one.
  page = LeafPage();
  Put16(page, 1, 300);
  PutFreedCell(page, 300, 0);
  std::copy(kCell.begin(), kCell.end(), page.begin() + 306);
  Put16(page, 302, 18);
  EXPECT_EQ(Offsets(Scan(page)), std::vector<std::uint32_t>({309}));

  // A freed cell whose tail a later cell (deleted too, behind a stale
  // pointer) covers: which of the two is whole is unknown.
  page = LeafPage();
  Put16(page, 1, 300);
  PutFreedCell(page, 300, 0);
  std::copy(kCell.begin(), kCell.end(), page.begin() + 308);
  Put16(page, 10, 308);
  EXPECT_TRUE(Scan(page).empty());
}

TEST(CandidateScanTest, NothingWithoutAColumnCountOrOnOtherPageTypes) {
  std::vector<std::uint8_t> page = LeafPage();
  Put16(page, 1, 300);
  PutFreedCell(page, 300, 0);
  const auto header = ReadPageHeader(page, 0);
  CandidateRules unknown = ThreeColumns();
  unknown.columns = 0;
  EXPECT_TRUE(FindCandidates(page, *header, unknown).empty());
  page[0] = 10;  // an index leaf
  EXPECT_TRUE(FindCandidates(page, *ReadPageHeader(page, 0), ThreeColumns()).empty());
}

}  // namespace
}  // namespace scrivel::sqlite
