// The selection statistics of a scan: which results are checked for export
// and printing, which are hidden by the deleted-only filter, and the totals
// the statistics label shows. A tree of counters (root, one node per
// category, one more level per app of App Photos and App Videos) and one
// entry per result, category and app, kept in registration order.
//
// Not thread-safe: the owner serialises registration (scan thread) and
// check/filter changes (UI thread).
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/recovery/category_kind.h"
#include "core/results/result_item.h"

namespace scrivel {

struct StatisticsEntry;

// One node of the counter tree.
struct StatisticsCounter {
  std::uint32_t total = 0;          // items below this node
  std::uint32_t checked = 0;        // checked items below
  std::uint32_t hidden = 0;         // items hidden by the deleted-only filter
  std::uint32_t checkedHidden = 0;  // checked items that are hidden (never above hidden)
  StatisticsCounter* parent = nullptr;  // null for the root
  std::vector<StatisticsCounter*> children;
  std::vector<StatisticsEntry*> items;  // item entries counted directly in this node
};

// One result, category or app.
struct StatisticsEntry {
  bool group = false;    // a category or app entry; false for an item
  bool checked = true;   // items start checked
  bool deleted = false;  // the record was rebuilt from free space; files never are
  bool hidden = false;   // hidden by the deleted-only filter
  CategoryKind kind = CategoryKind::kNone;
  std::uint64_t size = 0;  // bytes counted: at least kMinimumCountedSize for an item; 0 for a group
  StatisticsCounter* counter = nullptr;  // item: the node it counts in; group: its own node
  ResultItem item;       // the result; empty for a group
};

// What a category hands in per item when it is registered.
struct StatisticsItem {
  ResultItem item;
  bool deleted = false;
  std::uint64_t size = 0;  // bytes as measured; raised to kMinimumCountedSize when counted
};

// One app of App Photos or App Videos: its key (the container of its files)
// and its files.
struct StatisticsAppGroup {
  const void* key = nullptr;
  std::string name;
  std::vector<StatisticsItem> items;
};

// Check state of a category or app.
enum class CheckState : int { kNone = 0, kAll = 1, kSome = 2 };

// Every item counts at least this many bytes, however small it is.
inline constexpr std::uint64_t kMinimumCountedSize = 1024;

class CStatisticsObj {
 public:
  CStatisticsObj();
  CStatisticsObj(const CStatisticsObj&) = delete;
  CStatisticsObj& operator=(const CStatisticsObj&) = delete;

  // Forgets every entry and counter and starts again with an empty root.
  void Reset();

  // Registers a category under `categoryKey` (the container of its items):
  // a counter below the root, a group entry, and one checked, visible entry
  // per item. Items whose key is null or already known are skipped. Returns
  // false (and changes nothing) when `categoryKey` is null or already known.
  bool RegisterCategory(const void* categoryKey, CategoryKind kind, std::span<const StatisticsItem> items);

  // Registers App Photos or App Videos: the category and below it one group
  // per app with that app's files.
  bool RegisterAppCategory(const void* categoryKey, CategoryKind kind, std::span<const StatisticsAppGroup> apps);

  // Checks or unchecks one item, or every item below a category or app.
  // Returns false when `key` is unknown.
  bool SetChecked(const void* key, bool checked);

  // Hides or shows one item (the deleted-only filter). Returns false when
  // `key` is unknown or names a category or app.
  bool SetHidden(const void* key, bool hidden);

  // State of a category or app: none, all or some of its items checked.
  // kNone for an unknown key or an empty category.
  CheckState GetCheckState(const void* groupKey) const;

  // The entry of an item, category or app; nullptr when unknown.
  const StatisticsEntry* Find(const void* key) const;

  // All entries in registration order: each category's entry, then (for
  // apps) each app's entry followed by its files, then its items in list
  // order.
  const std::deque<StatisticsEntry>& Entries() const { return m_entries; }

  const StatisticsCounter& Root() const { return *m_root; }

  // Number of items that export and printing take: checked and not hidden.
  std::uint32_t SelectedCount() const { return m_root->checked - m_root->checkedHidden; }

  std::uint64_t TotalBytes() const { return m_totalBytes; }
  std::uint64_t CheckedBytes() const { return m_checkedBytes; }
  // Bytes of the items that are checked and not hidden: what the statistics
  // label calls selected.
  std::uint64_t SelectedBytes() const { return m_checkedBytes - m_checkedHiddenBytes; }

 private:
  StatisticsCounter* AddCounter(StatisticsCounter* parent);
  StatisticsEntry* AddGroupEntry(const void* key, CategoryKind kind, StatisticsCounter* counter);
  void AddItems(CategoryKind kind, StatisticsCounter* counter, std::span<const StatisticsItem> items);
  void SetItemChecked(StatisticsEntry& entry, bool checked);
  void SetSubtreeChecked(StatisticsCounter& counter, bool checked);

  std::deque<StatisticsCounter> m_counters;  // stable addresses; [0] is the root
  std::deque<StatisticsEntry> m_entries;     // stable addresses, registration order
  std::unordered_map<const void*, StatisticsEntry*> m_byKey;
  StatisticsCounter* m_root = nullptr;
  std::uint64_t m_totalBytes = 0;          // every registered item
  std::uint64_t m_checkedBytes = 0;        // checked items, hidden or not
  std::uint64_t m_checkedHiddenBytes = 0;  // checked items that are hidden
};

}  // namespace scrivel
