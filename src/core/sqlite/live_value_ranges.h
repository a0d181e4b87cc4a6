// The range of the integers each table's live rows hold, column by column,
// gathered from the table leaf pages as the search passes them. It tells
// apart tables of the same column count when a record on a freed page fits
// several of them (a pair of numbers fits every two-column table of
// numbers): a former row of a table mostly holds numbers of the ranges its
// live rows hold, or at least of their size (ids a little past the highest
// one live, dates of its years, small codes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/page_header.h"

namespace scrivel::sqlite {

class LiveValueRanges {
 public:
  explicit LiveValueRanges(std::size_t tableCount) : m_tables(tableCount) {}

  // Notes the integers of the live cells of a table leaf page of `table`,
  // as far as each record lies on the page (a spilled record's values on
  // overflow pages are not read).
  void NotePage(std::size_t table, Bytes page, const PageHeader& header, std::uint32_t usableSize);

  // How close the integers of the complete record `record` are to those
  // of their columns in `table`'s live rows: 2 for each inside its
  // column's range, 1 for each outside it but of the same sign and of a
  // size (bits) from the smallest to one more than the largest there.
  int Closeness(std::size_t table, Bytes record) const;

 private:
  struct Range {
    bool seen = false;
    std::int64_t lowest = 0;
    std::int64_t highest = 0;
  };
  std::vector<std::vector<Range>> m_tables;  // by table, then by column
};

}  // namespace scrivel::sqlite
