// The orders in which the assembled records are handed out: by date text
// (messages, calls, WhatsApp) or by name (contacts), compared without
// regard to letter case. The sorts are stable, so records that compare
// equal keep the order in which the table decoders delivered them (live
// rows before rows rebuilt from free space), and a list comes out the same
// on every run.
//
// Each text is folded to lower case once (only when it holds an upper-case
// ASCII letter); the sort orders small entries holding the first bytes of
// each text, not records, and the records are then moved once into their
// final place.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace scrivel::apps {

// True when `a` sorts before `b` with ASCII letters compared as lower case;
// all other bytes (digits, punctuation, UTF-8 sequences) compare by value.
bool TextLessIgnoringCase(std::string_view a, std::string_view b);

// The positions 0..texts.size()-1 ordered by TextLessIgnoringCase of their
// texts, equal texts in ascending position.
std::vector<std::uint32_t> OrderIgnoringCase(const std::vector<std::string_view>& texts);

// The positions 0..texts.size()-1 ordered by `groups` (ascending; all in
// one group when `groups` is empty), then as OrderIgnoringCase orders them.
std::vector<std::uint32_t> OrderByGroupThenText(const std::vector<std::int64_t>& groups,
                                                const std::vector<std::string_view>& texts);

// The positions of `records` in ascending order of their `field` text, as
// OrderIgnoringCase gives them.
template <typename Record>
std::vector<std::uint32_t> OrderByText(const std::vector<Record>& records, std::string Record::*field) {
  std::vector<std::string_view> texts;
  texts.reserve(records.size());
  for (const Record& record : records) texts.emplace_back(record.*field);
  return OrderIgnoringCase(texts);
}

// Rearranges `records` into `order` (a permutation of their positions).
template <typename Record>
void ApplyOrder(std::vector<Record>& records, const std::vector<std::uint32_t>& order) {
  std::vector<Record> ordered;
  ordered.reserve(records.size());
  for (const std::uint32_t position : order) ordered.push_back(std::move(records[position]));
  records = std::move(ordered);
}

// Sorts `records` by their `date` text (ascending, letter case ignored,
// equal dates in their present order).
template <typename Record>
void SortByDateText(std::vector<Record>& records) {
  ApplyOrder(records, OrderByText(records, &Record::date));
}

// Sorts `records` by their `name` text in the same way.
template <typename Record>
void SortByNameText(std::vector<Record>& records) {
  ApplyOrder(records, OrderByText(records, &Record::name));
}

// Sorts `records` by their `text` field as SortByDateText does and appends
// each, in that order, to the entry of its `key` in `*groups` (existing
// entries are extended). Each entry is looked up and grown once.
template <typename Record, typename Key>
void GroupInTextOrder(std::vector<Record> records, Key Record::*key, std::string Record::*text,
                      std::map<Key, std::vector<Record>>* groups) {
  static_assert(std::is_integral_v<Key> && sizeof(Key) <= 4, "group keys must fit a 64-bit signed number");
  std::vector<std::int64_t> keys;
  std::vector<std::string_view> texts;
  keys.reserve(records.size());
  texts.reserve(records.size());
  for (const Record& record : records) {
    keys.push_back(record.*key);
    texts.emplace_back(record.*text);
  }
  const std::vector<std::uint32_t> order = OrderByGroupThenText(keys, texts);
  for (std::size_t runStart = 0; runStart < order.size();) {
    const std::int64_t runKey = keys[order[runStart]];
    std::size_t runEnd = runStart + 1;
    while (runEnd < order.size() && keys[order[runEnd]] == runKey) ++runEnd;
    std::vector<Record>& group = (*groups)[static_cast<Key>(runKey)];
    group.reserve(group.size() + (runEnd - runStart));
    for (std::size_t i = runStart; i < runEnd; ++i) group.push_back(std::move(records[order[i]]));
    runStart = runEnd;
  }
}

// Appends every entry of `from` to the entry of the same key in `*into`.
template <typename Key, typename Record>
void AppendGroups(std::map<Key, std::vector<Record>>&& from, std::map<Key, std::vector<Record>>* into) {
  if (into->empty()) {
    *into = std::move(from);
    return;
  }
  for (auto& [key, records] : from) {
    std::vector<Record>& group = (*into)[key];
    if (group.empty()) {
      group = std::move(records);
      continue;
    }
    group.reserve(group.size() + records.size());
    for (Record& record : records) group.push_back(std::move(record));
  }
}

}  // namespace scrivel::apps
