// The store of deleted rows on more rows than one pass of its sorting
// holds, with its spill file in the temporary folder and, when no
// temporary file can be made, in memory: every record comes out once, from
// its best place, in the order of those places, and copies of live rows
// stay out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/sqlite/deleted_rows.h"

namespace scrivel::sqlite {
namespace {

// A one-column record holding the text "row <n>".
std::vector<std::uint8_t> TextRecord(int n) {
  const std::string text = "row " + std::to_string(n);
  std::vector<std::uint8_t> record(2 + text.size());
  record[0] = 2;  // header size
  record[1] = static_cast<std::uint8_t>(13 + 2 * text.size());
  std::copy(text.begin(), text.end(), record.begin() + 2);
  return record;
}

// Sets TMPDIR for the life of the object.
class TemporaryFolderSetting {
 public:
  explicit TemporaryFolderSetting(const char* folder) {
    if (const char* old = std::getenv("TMPDIR")) m_old = old;
    if (folder) ::setenv("TMPDIR", folder, 1);
  }
  ~TemporaryFolderSetting() {
    if (m_old) {
      ::setenv("TMPDIR", m_old->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

 private:
  std::optional<std::string> m_old;
};

TEST(DeletedRowStoreTest, ManyRowsComeOutOnceFromTheirBestPlaceInPlaceOrder) {
  // Three passes' worth of keys; every third row is also found on a
  // freelist leaf (a better place) later on, every tenth is a live row.
  constexpr int kRows = 3 * static_cast<int>(DeletedRowStore::kPassBytes / 32) + 100;
  for (const char* folder : {static_cast<const char*>(nullptr), "/nonexistent/scrivel-no-such-folder"}) {
    SCOPED_TRACE(folder ? folder : "the system's temporary folder");
    TemporaryFolderSetting setting(folder);
    SpillFile spill;
    DeletedRowStore store(spill);
    for (int n = 0; n < kRows; ++n) store.Add({static_cast<std::uint32_t>(n + 1), RowSource::kFreeBlock, false, std::nullopt, TextRecord(n)});
    for (int n = 0; n < kRows; n += 3) store.Add({900000, RowSource::kFreelistLeaf, false, n, TextRecord(n)});
    for (int n = 0; n < kRows; n += 10) store.SeeLiveRow(TextRecord(n));

    std::vector<int> seen;
    bool ordered = true, bestPlace = true;
    std::size_t freelistRows = 0;
    store.ForEach([&](const DeletedRow& row) {
      const std::string text(row.record.begin() + 2, row.record.end());
      const int n = std::stoi(text.substr(4));
      const bool onFreelist = n % 3 == 0;
      bestPlace = bestPlace && (row.source == (onFreelist ? RowSource::kFreelistLeaf : RowSource::kFreeBlock)) &&
                  (row.rowId == (onFreelist ? std::optional<std::int64_t>(n) : std::nullopt));
      freelistRows += onFreelist;
      // Free-block places come first (in row order), then the freelist ones.
      if (!seen.empty()) {
        const int last = seen.back();
        const bool lastOnFreelist = last % 3 == 0;
        if (lastOnFreelist == onFreelist) ordered = ordered && n > last;
        if (lastOnFreelist && !onFreelist) ordered = false;
      }
      seen.push_back(n);
    });
    std::vector<int> expected;
    for (int n = 0; n < kRows; ++n)
      if (n % 10 != 0) expected.push_back(n);
    std::vector<int> sorted = seen;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, expected);
    EXPECT_TRUE(ordered);
    EXPECT_TRUE(bestPlace);
    EXPECT_GT(freelistRows, 0u);
  }
}

}  // namespace
}  // namespace scrivel::sqlite
