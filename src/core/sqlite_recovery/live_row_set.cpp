#include "core/sqlite_recovery/live_row_set.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace scrivel::sqlite_recovery {

std::uint64_t LiveRowSet::Hash(Bytes values) {
  return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(values.data()), values.size()));
}

void LiveRowSet::Add(Bytes values) {
  m_hashes.push_back(Hash(values));
  m_sorted = false;
}

bool LiveRowSet::Contains(Bytes values) {
  if (!m_sorted) {
    std::sort(m_hashes.begin(), m_hashes.end());
    m_sorted = true;
  }
  return std::binary_search(m_hashes.begin(), m_hashes.end(), Hash(values));
}

}  // namespace scrivel::sqlite_recovery
