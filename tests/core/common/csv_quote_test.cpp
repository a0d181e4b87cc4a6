#include "core/common/csv_quote.h"

#include <gtest/gtest.h>

#include <string>

namespace scrivel {
namespace {

using namespace std::string_view_literals;

TEST(CsvQuoteTest, QuotesEveryFieldDoublesQuotesAndDisarmsFormulas) {
  const struct {
    std::string_view in;
    std::string_view quoted;
  } cases[] = {
      {"", R"("")"},
      {"plain text", R"("plain text")"},
      {R"("at both ends")", R"("""at both ends""")"},
      // Apostrophes stay single: a standard reader must give back O'Brien.
      {"O'Brien", R"("O'Brien")"},
      {R"(''"")", R"("''""""")"},
      {"caf\xc3\xa9 \"x\"", "\"caf\xc3\xa9 \"\"x\"\"\""},
      // Cells a spreadsheet would evaluate.
      {R"(=HYPERLINK("http://x"))", R"x("'=HYPERLINK(""http://x"")")x"},
      {"+1 (408) 555-1234", R"x("'+1 (408) 555-1234")x"},
      {"-2+3", R"("'-2+3")"},
      {"@SUM(A1)", R"x("'@SUM(A1)")x"},
      {"\t=1", "\"'\t=1\""},
      {"\r=1", "\"'\r=1\""},
      // Only the first character counts.
      {"a=1", R"("a=1")"},
      {" =1", R"(" =1")"},
      {"'=1", R"("'=1")"},
      // Bytes are kept as they are (the raw row files keep every byte).
      {"a\0b\x01"sv, "\"a\0b\x01\""sv},
  };
  for (const auto& c : cases) {
    std::string field = "before,";
    AppendQuotedCsvField(field, c.in);
    EXPECT_EQ(field, "before," + std::string(c.quoted)) << c.in;
  }
}

}  // namespace
}  // namespace scrivel
