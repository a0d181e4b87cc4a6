#include "core/apps/notes.h"

#include <cstddef>
#include <deque>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "core/common/result_codes.h"
#include "core/apps/notes_text.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"

namespace scrivel::apps {

namespace {

bool HasText(const NoteItem& note) { return !note.title.empty() || !note.content.empty(); }

// Gives each body record the title and creation date of the first unused
// note record with its key (a body record has no date of its own, so
// without this most notes would be listed undated); returns which note
// records were used.
std::vector<bool> PairTitles(std::vector<NoteItem>& bodies, const std::vector<NoteItem>& notes) {
  std::unordered_map<std::int32_t, std::deque<std::size_t>> unusedByKey;  // key -> note indexes, in list order
  for (std::size_t i = 0; i < notes.size(); ++i) unusedByKey[notes[i].noteKey].push_back(i);
  std::vector<bool> used(notes.size(), false);
  for (NoteItem& body : bodies) {
    const auto unused = unusedByKey.find(body.noteKey);
    if (unused == unusedByKey.end() || unused->second.empty()) continue;
    const std::size_t note = unused->second.front();
    unused->second.pop_front();
    body.title = notes[note].title;
    body.date = notes[note].date;
    used[note] = true;
  }
  return used;
}

// The same deleted row can survive in two places: a page keeps an old copy
// of a cell in its unallocated gap after the cell moved, and a freed page
// on the freelist still holds the cell too. Both copies decode to the same
// record; keeps the first of identical deleted records. Live records are
// rows of the b-tree and are never merged.
void DropRepeatedDeleted(std::vector<NoteItem>& records) {
  std::set<std::tuple<std::int32_t, std::string, std::string, std::string>> seen;  // key, title, date, content
  std::erase_if(records, [&seen](const NoteItem& record) {
    return record.deleted != 0 && !seen.emplace(record.noteKey, record.title, record.date, record.content).second;
  });
}

}  // namespace

std::vector<NoteItem> AssembleNotes(std::vector<NoteItem> bodies, std::vector<NoteItem> notes) {
  DropRepeatedDeleted(bodies);
  DropRepeatedDeleted(notes);
  const std::vector<bool> used = PairTitles(bodies, notes);
  for (std::size_t i = 0; i < notes.size(); ++i)
    if (!used[i] && HasText(notes[i])) bodies.push_back(std::move(notes[i]));

  std::vector<NoteItem> cleaned;
  cleaned.reserve(bodies.size());
  for (NoteItem& note : bodies) {
    if (!HasText(note)) continue;
    CleanNoteHtml(note.content);
    CleanNoteHtml(note.title);
    cleaned.push_back(std::move(note));
  }
  return cleaned;
}

std::error_code ParseNotes(const std::string& notesDbPath, std::vector<NoteItem>* notes) {
  sqlite::DatabaseRecovery notesDb;
  if (const std::error_code rc = notesDb.Open(notesDbPath); rc) return rc;
  // A table that cannot be read completely still gives what was read.
  std::vector<NoteItem> bodies;
  (void)DecodeNoteBodies(notesDb, &bodies);
  std::vector<NoteItem> noteRecords;
  (void)DecodeNotes(notesDb, &noteRecords);
  *notes = AssembleNotes(std::move(bodies), std::move(noteRecords));
  return {};
}

}  // namespace scrivel::apps
