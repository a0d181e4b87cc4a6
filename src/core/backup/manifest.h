// The manifest of a backup: every stored file's domain-qualified name and
// identifier, in manifest order, with look-ups by identifier and by name
// that do not walk the list (a manifest holds 30,000 to 250,000 entries).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scrivel {

struct ManifestEntry {
  std::string name;    // domain + "-" + relative path, e.g. "HomeDomain-Library/SMS/sms.db"
  std::string fileId;  // 40 lowercase hex digits: the stored file's name
  bool storedFile = true;  // a file's content is stored under fileId; false for folders and links
};

// A hash index from one text field of the entries to the position of the
// first entry holding that text. Open addressing over a flat array, so
// building it allocates once. Positions, not pointers: copies stay valid.
class ManifestIndex {
 public:
  using Field = std::string ManifestEntry::*;

  void Build(const std::vector<ManifestEntry>& entries, Field field);
  void Clear() { m_slots.clear(); }
  // Position of the first entry whose `field` equals `key`, or npos.
  std::size_t Find(const std::vector<ManifestEntry>& entries, Field field, std::string_view key) const;

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

 private:
  struct Slot {
    std::size_t hash = 0;
    std::size_t position = npos;  // npos = empty slot
  };
  std::vector<Slot> m_slots;  // size a power of two, at least twice the entry count
};

// Entries in manifest order plus indexes by identifier and by name. Not
// thread-safe for writers; any number of threads may read once it is filled.
class Manifest {
 public:
  Manifest() = default;
  explicit Manifest(std::vector<ManifestEntry> entries) { Assign(std::move(entries)); }

  // Replaces the entries and rebuilds the indexes.
  void Assign(std::vector<ManifestEntry> entries);
  void Clear();

  const std::vector<ManifestEntry>& Entries() const { return m_entries; }
  std::size_t Size() const { return m_entries.size(); }
  bool Empty() const { return m_entries.empty(); }

  // The entry with this identifier, or null. With duplicates, the first.
  const ManifestEntry* FindByFileId(std::string_view fileId) const;
  // The entry with exactly this name ("HomeDomain-Library/SMS/sms.db"), or
  // null. With duplicates, the first.
  const ManifestEntry* FindByName(std::string_view name) const;
  const ManifestEntry* FindByName(std::string_view domain, std::string_view relativePath) const;

 private:
  const ManifestEntry* EntryAt(std::size_t position) const;

  std::vector<ManifestEntry> m_entries;
  ManifestIndex m_byFileId;
  ManifestIndex m_byName;
};

}  // namespace scrivel
