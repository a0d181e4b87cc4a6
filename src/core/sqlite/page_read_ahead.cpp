#include "core/sqlite/page_read_ahead.h"

#include <algorithm>
#include <span>

namespace scrivel::sqlite {

PageReadAhead::PageReadAhead(const SqliteReader& reader) : m_reader(reader) {}

std::error_code PageReadAhead::Read(std::uint32_t pageIndex, Bytes* page) {
  const std::size_t pageSize = m_reader.PageSize();
  const std::size_t runPages = std::max<std::size_t>(1, kRunBytes / pageSize);
  // A walk goes forward while each page lies a little after the one before
  // (a walk may pass over pages it has no use for, or step back to a page
  // of a b-tree's upper levels in between).
  const bool forward = m_previous && pageIndex > *m_previous && pageIndex - *m_previous < runPages;
  m_previous = pageIndex;
  if (pageIndex >= m_first && pageIndex - m_first < m_count) {
    *page = Bytes(m_run).subspan((pageIndex - m_first) * pageSize, pageSize);
    return {};
  }
  if (!forward) {
    m_single.resize(pageSize);
    if (const std::error_code rc = m_reader.ReadPage(pageIndex, m_single); rc) return rc;
    *page = Bytes(m_single);
    return {};
  }
  m_run.resize(runPages * pageSize);
  m_first = pageIndex;
  m_count = 0;
  if (const std::error_code rc = m_reader.ReadPages(pageIndex, m_run, &m_count); rc) return rc;
  *page = Bytes(m_run).first(pageSize);
  return {};
}

}  // namespace scrivel::sqlite
