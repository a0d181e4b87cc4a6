// The byte ranges of one page that are taken: live cells and the records
// already carved from it, so that no byte is reported twice and no live
// byte as deleted. Ranges are half-open [begin, end); touching or
// overlapping ones are joined, so the list stays sorted and disjoint.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

namespace scrivel::sqlite {

class ByteRanges {
 public:
  void Add(std::size_t begin, std::size_t end) {
    if (begin >= end) return;
    auto first = FirstEndingAtOrAfter(begin);
    auto last = first;
    while (last != m_ranges.end() && last->begin <= end) {
      begin = std::min(begin, last->begin);
      end = std::max(end, last->end);
      ++last;
    }
    first = m_ranges.erase(first, last);
    m_ranges.insert(first, Range{begin, end});
  }

  // True when some byte of [begin, end) is taken.
  bool Overlaps(std::size_t begin, std::size_t end) const {
    const auto it = FirstEndingAfter(begin);
    return it != m_ranges.end() && it->begin < end && begin < end;
  }

  // One past the taken range holding `offset`, or `offset` when it is free.
  std::size_t SkipTaken(std::size_t offset) const {
    const auto it = FirstEndingAfter(offset);
    return it != m_ranges.end() && it->begin <= offset ? it->end : offset;
  }

  // Start of the first taken range at or after `offset`, at most `limit`.
  std::size_t NextTaken(std::size_t offset, std::size_t limit) const {
    const auto it = FirstEndingAfter(offset);
    if (it == m_ranges.end()) return limit;
    return std::min(limit, std::max(offset, it->begin));
  }

 private:
  struct Range {
    std::size_t begin;
    std::size_t end;
  };

  // The first range whose end lies past `offset` (ranges are disjoint and
  // sorted, so their ends ascend too).
  std::vector<Range>::iterator FirstEndingAtOrAfter(std::size_t offset) {
    return std::lower_bound(m_ranges.begin(), m_ranges.end(), offset,
                            [](const Range& r, std::size_t value) { return r.end < value; });
  }
  std::vector<Range>::const_iterator FirstEndingAfter(std::size_t offset) const {
    return std::upper_bound(m_ranges.begin(), m_ranges.end(), offset,
                            [](std::size_t value, const Range& r) { return value < r.end; });
  }

  std::vector<Range> m_ranges;
};

}  // namespace scrivel::sqlite
