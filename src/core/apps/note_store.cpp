#include "core/apps/note_store.h"

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "core/apps/note_store_body.h"
#include "core/sqlite/database_recovery.h"

namespace scrivel::apps {

namespace {

// The entity numbers of notes and folders; 0 when the entity table does
// not name them.
struct EntityNumbers {
  std::int32_t note = 0;
  std::int32_t folder = 0;
};

EntityNumbers FindEntityNumbers(const std::vector<EntityRecord>& entities) {
  EntityNumbers numbers;
  for (const EntityRecord& entity : entities) {
    if (entity.deleted != 0) continue;
    if (entity.name == "ICNote") numbers.note = entity.entity;
    if (entity.name == "ICFolder") numbers.folder = entity.entity;
  }
  return numbers;
}

bool IsNote(const CloudObjectRecord& object, const EntityNumbers& numbers) {
  if (numbers.note != 0) return object.entity == numbers.note;
  return object.hasNoteColumns != 0;
}

bool IsFolder(const CloudObjectRecord& object, const EntityNumbers& numbers) {
  if (numbers.folder != 0) return object.entity == numbers.folder;
  return object.hasFolderColumns != 0 && object.hasNoteColumns == 0;
}

struct Folder {
  std::string title;
  bool trash = false;  // the Recently Deleted folder
};

std::unordered_map<std::int32_t, Folder> LiveFolders(const std::vector<CloudObjectRecord>& objects,
                                                     const EntityNumbers& numbers) {
  std::unordered_map<std::int32_t, Folder> folders;
  for (const CloudObjectRecord& object : objects) {
    if (object.deleted != 0 || !IsFolder(object, numbers)) continue;
    const bool trash = object.identifier.starts_with("TrashFolder") || object.folderType == 1;
    folders[object.rowId] = {object.folderTitle, trash};
  }
  return folders;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

NoteItem MakeNote(const CloudObjectRecord& object, const std::unordered_map<std::int32_t, Folder>& folders) {
  NoteItem note;
  note.noteKey = object.rowId;
  note.date = object.created;
  note.modified = object.modified;
  note.title = object.noteTitle;
  note.locked = object.locked;
  const auto folder = folders.find(object.folderKey);
  if (folder != folders.end()) note.folder = folder->second.title;
  const bool inTrash = folder != folders.end() && folder->second.trash;
  note.deleted = object.deleted != 0 || object.markedForDeletion != 0 || inTrash ? 1 : 0;
  return note;
}

// The bodies of one file, with their decoded texts and which are taken.
class BodyPool {
 public:
  explicit BodyPool(const std::vector<NoteDataRecord>& bodies) : m_bodies(bodies), m_used(bodies.size(), false) {
    std::set<std::pair<std::int32_t, std::string>> seenDeleted;  // a deleted row found twice is skipped
    for (std::size_t i = 0; i < bodies.size(); ++i) {
      const NoteDataRecord& body = bodies[i];
      if (body.deleted != 0) {
        if (!seenDeleted.emplace(body.noteKey, body.data).second) m_used[i] = true;
        continue;
      }
      m_liveByRow.emplace(body.rowId, i);
      m_liveByNote.emplace(body.noteKey, i);
    }
  }

  // The live body that note row `object` names, or that names it.
  std::optional<std::size_t> TakeLive(const CloudObjectRecord& object) {
    std::optional<std::size_t> index = Find(m_liveByRow, object.noteDataKey);
    if (!index) index = Find(m_liveByNote, object.rowId);
    if (!index || m_used[*index]) return std::nullopt;
    m_used[*index] = true;
    return index;
  }

  // The first unused deleted body whose text opens with the line `title`.
  std::optional<std::size_t> TakeDeletedWithTitle(const std::string& title) {
    if (title.empty()) return std::nullopt;
    for (std::size_t i = 0; i < m_bodies.size(); ++i) {
      if (m_used[i] || m_bodies[i].deleted == 0) continue;
      const std::optional<std::string>& text = Text(i);
      if (!text || FirstLine(*text) != title) continue;
      m_used[i] = true;
      return i;
    }
    return std::nullopt;
  }

  // The text of body `index`; nullopt when its data does not decode.
  const std::optional<std::string>& Text(std::size_t index) {
    auto cached = m_texts.find(index);
    if (cached == m_texts.end()) cached = m_texts.emplace(index, DecodeNoteStoreBody(m_bodies[index].data)).first;
    return cached->second;
  }

  std::size_t Size() const { return m_bodies.size(); }
  bool Used(std::size_t index) const { return m_used[index]; }
  const NoteDataRecord& Body(std::size_t index) const { return m_bodies[index]; }

 private:
  // Key 0 is no key: deleted rows have no Z_PK, and a note may name no body.
  static std::optional<std::size_t> Find(const std::unordered_map<std::int32_t, std::size_t>& index, std::int32_t key) {
    if (key == 0) return std::nullopt;
    const auto found = index.find(key);
    if (found == index.end()) return std::nullopt;
    return found->second;
  }

  const std::vector<NoteDataRecord>& m_bodies;
  std::vector<bool> m_used;
  std::unordered_map<std::int32_t, std::size_t> m_liveByRow;   // Z_PK -> index
  std::unordered_map<std::int32_t, std::size_t> m_liveByNote;  // ZNOTE -> index
  std::unordered_map<std::size_t, std::optional<std::string>> m_texts;
};

// The same deleted note row can survive in two places of the file; only
// its first copy is listed.
bool IsRepeatedDeleted(const CloudObjectRecord& object,
                       std::set<std::tuple<std::int32_t, std::string, std::string, std::string, std::int32_t>>& seen) {
  return !seen.emplace(object.entity, object.noteTitle, object.created, object.modified, object.folderKey).second;
}

}  // namespace

std::vector<NoteItem> AssembleNoteStore(const std::vector<EntityRecord>& entities,
                                        const std::vector<CloudObjectRecord>& objects,
                                        const std::vector<NoteDataRecord>& bodies) {
  const EntityNumbers numbers = FindEntityNumbers(entities);
  const std::unordered_map<std::int32_t, Folder> folders = LiveFolders(objects, numbers);
  BodyPool pool(bodies);
  std::vector<NoteItem> notes;
  std::unordered_map<std::int32_t, std::size_t> liveNoteByRow;  // Z_PK -> index in `notes`

  for (const CloudObjectRecord& object : objects) {
    if (object.deleted != 0 || !IsNote(object, numbers)) continue;
    NoteItem note = MakeNote(object, folders);
    // A locked note's body is ciphertext: it is taken, so that it is not
    // listed on its own, but never read.
    const std::optional<std::size_t> body = pool.TakeLive(object);
    if (body && note.locked == 0) note.content = pool.Text(*body).value_or("");
    liveNoteByRow.emplace(object.rowId, notes.size());
    notes.push_back(std::move(note));
  }

  std::set<std::tuple<std::int32_t, std::string, std::string, std::string, std::int32_t>> seenDeleted;
  for (const CloudObjectRecord& object : objects) {
    if (object.deleted == 0 || !IsNote(object, numbers) || IsRepeatedDeleted(object, seenDeleted)) continue;
    NoteItem note = MakeNote(object, folders);
    std::optional<std::size_t> body = pool.TakeLive(object);
    if (!body && note.locked == 0) body = pool.TakeDeletedWithTitle(note.title);
    if (body && note.locked == 0) note.content = pool.Text(*body).value_or("");
    notes.push_back(std::move(note));
  }

  for (std::size_t i = 0; i < pool.Size(); ++i) {
    if (pool.Used(i) || pool.Body(i).deleted == 0) continue;
    const std::optional<std::string>& text = pool.Text(i);
    if (!text || text->empty()) continue;
    const auto owner = liveNoteByRow.find(pool.Body(i).noteKey);
    NoteItem note;
    if (owner != liveNoteByRow.end()) {
      note = notes[owner->second];
    } else {
      note.title = FirstLine(*text);
    }
    note.deleted = 1;
    note.content = *text;
    notes.push_back(std::move(note));
  }
  return notes;
}

std::error_code ParseNoteStore(const std::string& noteStorePath, std::vector<NoteItem>* notes) {
  sqlite::DatabaseRecovery noteStore;
  if (const std::error_code rc = noteStore.Open(noteStorePath); rc) return rc;
  // A table that cannot be read completely still gives what was read.
  std::vector<EntityRecord> entities;
  (void)DecodeEntities(noteStore, &entities);
  std::vector<CloudObjectRecord> objects;
  (void)DecodeCloudObjects(noteStore, &objects);
  std::vector<NoteDataRecord> bodies;
  (void)DecodeNoteData(noteStore, &bodies);
  *notes = AssembleNoteStore(entities, objects, bodies);
  return {};
}

}  // namespace scrivel::apps
