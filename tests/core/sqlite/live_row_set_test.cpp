#include "core/sqlite/live_row_set.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace scrivel::sqlite {
namespace {

Bytes AsBytes(const std::string& text) { return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}; }

// Rows added before and after lookups (the index is rebuilt), at set sizes
// around the bucket-count steps; every added row is found, rows never
// added are not, and a row that differs only by length or one byte is a
// different row.
TEST(LiveRowSetTest, FindsExactlyTheAddedRowsAcrossRebuilds) {
  for (const std::size_t count : {0u, 1u, 3u, 4u, 5u, 63u, 64u, 1000u}) {
    LiveRowSet set;
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < count; ++i) rows.push_back("row " + std::to_string(i) + std::string(i % 40, 'x'));
    const std::size_t half = count / 2;
    for (std::size_t i = 0; i < half; ++i) set.Add(AsBytes(rows[i]));
    for (std::size_t i = 0; i < half; ++i) ASSERT_TRUE(set.Contains(AsBytes(rows[i]))) << count << " " << i;
    for (std::size_t i = half; i < count; ++i) set.Add(AsBytes(rows[i]));
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_TRUE(set.Contains(AsBytes(rows[i]))) << count << " " << i;
      std::string changed = rows[i];
      changed.back() ^= 1;
      EXPECT_FALSE(set.Contains(AsBytes(changed))) << count << " " << i;
      EXPECT_FALSE(set.Contains(AsBytes(rows[i] + '\0'))) << count << " " << i;
    }
    EXPECT_FALSE(set.Contains(AsBytes("never added")));
    EXPECT_FALSE(set.Contains({}));
  }
}

}  // namespace
}  // namespace scrivel::sqlite
