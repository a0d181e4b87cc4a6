#include "core/apps/assembly_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace scrivel::apps {
namespace {

struct Row {
  int group = 0;
  std::string date;
  int serial = 0;  // position in the input, to see the order of equal dates
};

// Texts that exercise the folding and the packed heads: mixed case,
// characters between 'Z' and 'a', bytes above 0x7F and NUL, prefixes of one
// another, empty texts and texts longer than the 16 bytes held in the sort.
std::vector<Row> RandomRows(std::mt19937& random, int count) {
  const std::string alphabet = std::string("aAbBzZ_[`09 ") + "\xC3\xA9\xFF" + std::string(1, '\0');
  const std::string longPrefix = "2020-01-01 10:00:0";  // 18 bytes shared by many dates
  std::vector<Row> rows;
  for (int i = 0; i < count; ++i) {
    std::string text = random() % 2 == 0 ? longPrefix : "";
    for (std::size_t length = random() % 4; length > 0; --length) text += alphabet[random() % alphabet.size()];
    rows.push_back({static_cast<int>(random() % 5) - 1, text, i});
  }
  return rows;
}

void OldStableSort(std::vector<Row>& rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row& a, const Row& b) { return TextLessIgnoringCase(a.date, b.date); });
}

std::vector<int> Serials(const std::vector<Row>& rows) {
  std::vector<int> serials;
  for (const Row& row : rows) serials.push_back(row.serial);
  return serials;
}

TEST(AssemblyOrder, SortAgreesWithStableSortByTheComparisonOnRandomTexts) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    std::vector<Row> rows = RandomRows(random, 1 + static_cast<int>(random() % 300));
    std::vector<Row> expected = rows;
    OldStableSort(expected);
    SortByDateText(rows);
    ASSERT_EQ(Serials(rows), Serials(expected)) << "round " << round;
  }
}

TEST(AssemblyOrder, GroupingKeepsTextOrderInEachGroupAndExtendsExistingGroups) {
  std::mt19937 random(11);
  for (int round = 0; round < 30; ++round) {
    const std::vector<Row> rows = RandomRows(random, static_cast<int>(random() % 200));
    std::map<int, std::vector<Row>> expected;
    std::map<int, std::vector<Row>> grouped;
    // Existing entries are extended, not replaced.
    expected[1].push_back({1, "existing", -1});
    grouped[1].push_back({1, "existing", -1});
    std::vector<Row> sorted = rows;
    OldStableSort(sorted);
    for (const Row& row : sorted) expected[row.group].push_back(row);
    GroupInTextOrder(rows, &Row::group, &Row::date, &grouped);
    ASSERT_EQ(grouped.size(), expected.size());
    for (const auto& [group, members] : expected) ASSERT_EQ(Serials(grouped[group]), Serials(members)) << group;
  }
}

TEST(AssemblyOrder, AppendGroupsMovesIntoEmptyAndExtendsFilled) {
  std::map<int, std::vector<Row>> into;
  AppendGroups(std::map<int, std::vector<Row>>{{1, {{1, "a", 0}}}}, &into);
  AppendGroups(std::map<int, std::vector<Row>>{{1, {{1, "b", 1}}}, {2, {{2, "c", 2}}}}, &into);
  EXPECT_EQ(Serials(into[1]), (std::vector<int>{0, 1}));
  EXPECT_EQ(Serials(into[2]), (std::vector<int>{2}));
}

}  // namespace
}  // namespace scrivel::apps
