#include "core/sqlite/live_row_set.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <string_view>

namespace scrivel::sqlite {

std::uint64_t LiveRowSet::Hash(Bytes values) {
  return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(values.data()), values.size()));
}

void LiveRowSet::Add(Bytes values) {
  m_hashes.push_back(Hash(values));
  m_prepared = false;
}

// Two to four hashes per bucket on average: a lookup reads its bucket's
// bounds (the index has a quarter as many entries as there are hashes, so
// it mostly stays in the processor's cache) and one short stretch of
// hashes, instead of binary-searching the whole list.
void LiveRowSet::Prepare() {
  std::sort(m_hashes.begin(), m_hashes.end());
  m_bucketBits = std::bit_width(m_hashes.size() / 4);  // 0 for fewer than four hashes: one bucket
  const std::size_t bucketCount = std::size_t{1} << m_bucketBits;
  m_bucketStarts.assign(bucketCount + 1, 0);
  std::size_t index = 0;
  for (std::size_t bucket = 0; bucket < bucketCount; ++bucket) {
    m_bucketStarts[bucket] = index;
    while (index < m_hashes.size() && BucketOf(m_hashes[index]) == bucket) ++index;
  }
  m_bucketStarts[bucketCount] = m_hashes.size();
  m_prepared = true;
}

bool LiveRowSet::Contains(Bytes values) {
  if (!m_prepared) Prepare();
  const std::uint64_t hash = Hash(values);
  const std::size_t bucket = BucketOf(hash);
  const auto first = m_hashes.begin() + m_bucketStarts[bucket];
  const auto last = m_hashes.begin() + m_bucketStarts[bucket + 1];
  return std::find(first, last, hash) != last;
}

}  // namespace scrivel::sqlite
