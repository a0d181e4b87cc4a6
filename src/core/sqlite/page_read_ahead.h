// Reads pages of a database for a walk that mostly goes forward: while each
// page asked for lies a little after the one before, pages are read in runs
// with one read of the file each (SqliteReader::ReadPages); a page asked
// for out of order is read alone. A walk over a fresh file thereby costs a
// few hundred reads instead of one per page, and a walk over a scattered
// one costs no more than page by page.
#pragma once

#include <system_error>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/sqlite/byte_view.h"
#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

class PageReadAhead {
 public:
  // Bytes read at once while the walk goes forward (at least one page).
  static constexpr std::size_t kRunBytes = std::size_t{256} << 10;

  explicit PageReadAhead(const SqliteReader& reader);

  // The current image of page index `pageIndex`, as SqliteReader::ReadPage
  // reads it, into `*page`: a view valid until the next call. Returns as
  // ReadPage.
  [[nodiscard]] std::error_code Read(std::uint32_t pageIndex, Bytes* page);

 private:
  const SqliteReader& m_reader;
  std::vector<std::uint8_t> m_run;  // the last run read
  std::uint32_t m_first = 0;        // page index of the first page in m_run
  std::uint32_t m_count = 0;        // pages m_run holds
  std::vector<std::uint8_t> m_single;  // the last page read out of order, which leaves the run alone
  std::optional<std::uint32_t> m_previous;  // the page asked for last
};

}  // namespace scrivel::sqlite
