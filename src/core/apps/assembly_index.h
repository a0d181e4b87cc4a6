// The look-up the joins of the assemblies use instead of nested linear
// searches: records indexed by one of their fields, each key leading to
// the first record (in list order) that has it, so that every look-up
// gives the same record the first match of a linear search would.
#pragma once

#include <unordered_map>
#include <vector>

namespace scrivel::apps {

// Key -> the first record of `records` whose `key` field holds it. The
// pointers stay valid while `records` is not changed.
template <typename Record, typename Key>
std::unordered_map<Key, const Record*> FirstByKey(const std::vector<Record>& records, Key Record::*key) {
  std::unordered_map<Key, const Record*> first;
  first.reserve(records.size());
  for (const Record& record : records) first.emplace(record.*key, &record);  // keeps an earlier record
  return first;
}

// The record `index` holds for `key`, or nullptr.
template <typename Record, typename Key>
const Record* FindFirst(const std::unordered_map<Key, const Record*>& index, const Key& key) {
  const auto found = index.find(key);
  return found == index.end() ? nullptr : found->second;
}

}  // namespace scrivel::apps
