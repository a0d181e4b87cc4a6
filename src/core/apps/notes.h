// The notes of the phone's Notes application, live and deleted, from
// notes.sqlite: "ZNOTE" holds a note's title and date, "ZNOTEBODY" its HTML
// body; both are read through the table decoders (table_decoders.h),
// paired by the note key, and their HTML turned into plain text
// (notes_text.h).
#pragma once

#include <system_error>

#include <string>
#include <vector>

#include "core/apps/table_records.h"

namespace scrivel::apps {

// Reads the notes of `notesDbPath` into `*notes` (replaced). Order: the
// body records (live, then deleted) with the title of their note, then the
// note records without a body. Nothing is sorted, and only copies of one
// deleted row are merged: a live note and an older copy of it in free space
// both appear. Returns success, or the code of opening the file (the list
// is then left as it was). A table that cannot be read completely
// contributes what was read.
[[nodiscard]] std::error_code ParseNotes(const std::string& notesDbPath, std::vector<NoteItem>* notes);

// The assembly step of ParseNotes, on decoded records:
//  0. a deleted record equal in key, title, date and content to an earlier
//     deleted record of its list is the same row found in a second place
//     of the file, and is dropped;
//  1. each body record, in order, takes the title and the creation date of
//     the first remaining note record with its key, which is then used up
//     (the body record keeps its own `deleted`);
//  2. the note records left over that have a title or content follow;
//  3. records whose title and content are both empty are dropped, and the
//     title and content of the others are cleaned (CleanNoteHtml). The
//     emptiness test comes before the cleaning, so a body of only "</div>"
//     stays, with empty content.
std::vector<NoteItem> AssembleNotes(std::vector<NoteItem> bodies, std::vector<NoteItem> notes);

}  // namespace scrivel::apps
