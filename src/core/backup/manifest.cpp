#include "core/backup/manifest.h"

#include <bit>
#include <functional>
#include <utility>

namespace scrivel {
namespace {

std::size_t HashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

}  // namespace

void ManifestIndex::Build(const std::vector<ManifestEntry>& entries, Field field) {
  m_slots.assign(std::bit_ceil(entries.size() * 2 + 1), Slot{});
  const std::size_t mask = m_slots.size() - 1;
  for (std::size_t position = 0; position < entries.size(); ++position) {
    const std::string& key = entries[position].*field;
    const std::size_t hash = HashOf(key);
    // Linear probing; the table is at most half full, so an empty slot is
    // always reached.
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      Slot& candidate = m_slots[slot];
      if (candidate.position == npos) {
        candidate = {hash, position};
        break;
      }
      if (candidate.hash == hash && entries[candidate.position].*field == key) break;  // keep the first
    }
  }
}

std::size_t ManifestIndex::Find(const std::vector<ManifestEntry>& entries, Field field, std::string_view key) const {
  if (m_slots.empty()) return npos;
  const std::size_t mask = m_slots.size() - 1;
  const std::size_t hash = HashOf(key);
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const Slot& candidate = m_slots[slot];
    if (candidate.position == npos) return npos;
    if (candidate.hash == hash && entries[candidate.position].*field == key) return candidate.position;
  }
}

void Manifest::Assign(std::vector<ManifestEntry> entries) {
  m_entries = std::move(entries);
  m_byFileId.Build(m_entries, &ManifestEntry::fileId);
  m_byName.Build(m_entries, &ManifestEntry::name);
}

void Manifest::Clear() {
  m_entries.clear();
  m_byFileId.Clear();
  m_byName.Clear();
}

const ManifestEntry* Manifest::EntryAt(std::size_t position) const {
  return position == ManifestIndex::npos ? nullptr : &m_entries[position];
}

const ManifestEntry* Manifest::FindByFileId(std::string_view fileId) const {
  return EntryAt(m_byFileId.Find(m_entries, &ManifestEntry::fileId, fileId));
}

const ManifestEntry* Manifest::FindByName(std::string_view name) const {
  return EntryAt(m_byName.Find(m_entries, &ManifestEntry::name, name));
}

const ManifestEntry* Manifest::FindByName(std::string_view domain, std::string_view relativePath) const {
  std::string name;
  name.reserve(domain.size() + 1 + relativePath.size());
  name.append(domain).append("-").append(relativePath);
  return FindByName(name);
}

}  // namespace scrivel
