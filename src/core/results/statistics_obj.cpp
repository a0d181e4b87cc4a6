#include "core/results/statistics_obj.h"

#include <algorithm>

namespace scrivel {

namespace {

// Counter arithmetic that never wraps: a count never drops below 0 and
// never rises above its limit.
void Increment(std::uint32_t& value, std::uint32_t limit) {
  if (value < limit) ++value;
}
void Decrement(std::uint32_t& value) {
  if (value > 0) --value;
}

}  // namespace

CStatisticsObj::CStatisticsObj() { Reset(); }

void CStatisticsObj::Reset() {
  m_byKey.clear();
  m_entries.clear();
  m_counters.clear();
  m_root = &m_counters.emplace_back();
  m_totalBytes = 0;
  m_checkedBytes = 0;
  m_checkedHiddenBytes = 0;
}

StatisticsCounter* CStatisticsObj::AddCounter(StatisticsCounter* parent) {
  StatisticsCounter* counter = &m_counters.emplace_back();
  counter->parent = parent;
  parent->children.push_back(counter);
  return counter;
}

StatisticsEntry* CStatisticsObj::AddGroupEntry(const void* key, CategoryKind kind, StatisticsCounter* counter) {
  StatisticsEntry& entry = m_entries.emplace_back();
  entry.group = true;
  entry.kind = kind;
  entry.counter = counter;
  m_byKey.emplace(key, &entry);
  return &entry;
}

void CStatisticsObj::AddItems(CategoryKind kind, StatisticsCounter* counter, std::span<const StatisticsItem> items) {
  for (const StatisticsItem& item : items) {
    const void* key = ResultItemKey(item.item);
    if (key == nullptr || m_byKey.contains(key)) continue;
    StatisticsEntry& entry = m_entries.emplace_back();
    entry.deleted = item.deleted;
    entry.kind = kind;
    entry.size = std::max(item.size, kMinimumCountedSize);
    entry.counter = counter;
    entry.item = item.item;
    m_byKey.emplace(key, &entry);
    counter->items.push_back(&entry);
    for (StatisticsCounter* node = counter; node != nullptr; node = node->parent) {
      ++node->total;
      ++node->checked;
    }
    m_totalBytes += entry.size;
    m_checkedBytes += entry.size;
  }
}

bool CStatisticsObj::RegisterCategory(const void* categoryKey, CategoryKind kind,
                                      std::span<const StatisticsItem> items) {
  if (categoryKey == nullptr || m_byKey.contains(categoryKey)) return false;
  StatisticsCounter* counter = AddCounter(m_root);
  AddGroupEntry(categoryKey, kind, counter);
  AddItems(kind, counter, items);
  return true;
}

bool CStatisticsObj::RegisterAppCategory(const void* categoryKey, CategoryKind kind,
                                         std::span<const StatisticsAppGroup> apps) {
  if (categoryKey == nullptr || m_byKey.contains(categoryKey)) return false;
  StatisticsCounter* category = AddCounter(m_root);
  AddGroupEntry(categoryKey, kind, category);
  for (const StatisticsAppGroup& app : apps) {
    if (app.key == nullptr || m_byKey.contains(app.key)) continue;
    StatisticsCounter* counter = AddCounter(category);
    AddGroupEntry(app.key, kind, counter);
    AddItems(kind, counter, app.items);
  }
  return true;
}

void CStatisticsObj::SetItemChecked(StatisticsEntry& entry, bool checked) {
  if (entry.checked == checked) return;
  entry.checked = checked;
  for (StatisticsCounter* node = entry.counter; node != nullptr; node = node->parent) {
    if (checked) {
      Increment(node->checked, node->total);
      if (entry.hidden) Increment(node->checkedHidden, node->hidden);
    } else {
      Decrement(node->checked);
      if (entry.hidden) Decrement(node->checkedHidden);
    }
  }
  if (checked) {
    m_checkedBytes += entry.size;
    if (entry.hidden) m_checkedHiddenBytes += entry.size;
  } else {
    m_checkedBytes -= entry.size;
    if (entry.hidden) m_checkedHiddenBytes -= entry.size;
  }
}

void CStatisticsObj::SetSubtreeChecked(StatisticsCounter& counter, bool checked) {
  for (StatisticsEntry* item : counter.items) SetItemChecked(*item, checked);
  for (StatisticsCounter* child : counter.children) SetSubtreeChecked(*child, checked);
}

bool CStatisticsObj::SetChecked(const void* key, bool checked) {
  auto found = m_byKey.find(key);
  if (found == m_byKey.end()) return false;
  StatisticsEntry& entry = *found->second;
  if (entry.group) {
    SetSubtreeChecked(*entry.counter, checked);
  } else {
    SetItemChecked(entry, checked);
  }
  return true;
}

bool CStatisticsObj::SetHidden(const void* key, bool hidden) {
  auto found = m_byKey.find(key);
  if (found == m_byKey.end() || found->second->group) return false;
  StatisticsEntry& entry = *found->second;
  if (entry.hidden == hidden) return true;
  entry.hidden = hidden;
  for (StatisticsCounter* node = entry.counter; node != nullptr; node = node->parent) {
    if (hidden) {
      Increment(node->hidden, node->total);
      if (entry.checked) Increment(node->checkedHidden, node->hidden);
    } else {
      if (entry.checked) Decrement(node->checkedHidden);
      Decrement(node->hidden);
    }
  }
  if (entry.checked) {
    if (hidden) {
      m_checkedHiddenBytes += entry.size;
    } else {
      m_checkedHiddenBytes -= entry.size;
    }
  }
  return true;
}

CheckState CStatisticsObj::GetCheckState(const void* groupKey) const {
  const StatisticsEntry* entry = Find(groupKey);
  if (entry == nullptr || entry->counter == nullptr) return CheckState::kNone;
  if (!entry->group) return entry->checked ? CheckState::kAll : CheckState::kNone;
  const StatisticsCounter& counter = *entry->counter;
  if (counter.checked == 0) return CheckState::kNone;
  if (counter.checked >= counter.total) return CheckState::kAll;
  return CheckState::kSome;
}

const StatisticsEntry* CStatisticsObj::Find(const void* key) const {
  auto found = m_byKey.find(key);
  return found == m_byKey.end() ? nullptr : found->second;
}

}  // namespace scrivel
