// A set of page indexes of one file, one bit per page: marks the pages a
// walk has visited (so that cycles end) and collects the leaf pages of a
// table, which are then visited in ascending page-index order.
#pragma once

#include <cstdint>
#include <vector>

namespace scrivel::sqlite {

class PageSet {
 public:
  explicit PageSet(std::uint32_t pageCount) : m_bits(pageCount, false) {}

  // Adds `pageIndex`; false when it was already in the set or lies outside the file.
  bool Insert(std::uint32_t pageIndex) {
    if (pageIndex >= m_bits.size() || m_bits[pageIndex]) return false;
    m_bits[pageIndex] = true;
    return true;
  }
  bool Contains(std::uint32_t pageIndex) const { return pageIndex < m_bits.size() && m_bits[pageIndex]; }

  // The members in ascending order.
  std::vector<std::uint32_t> Ascending() const {
    std::vector<std::uint32_t> pages;
    for (std::uint32_t i = 0; i < m_bits.size(); ++i)
      if (m_bits[i]) pages.push_back(i);
    return pages;
  }

 private:
  std::vector<bool> m_bits;  // index = page index
};

}  // namespace scrivel::sqlite
