// The notes of NoteStore.sqlite (iOS 9 and later), live and deleted. A
// note is a row of ZICCLOUDSYNCINGOBJECT whose entity (Z_ENT, named in
// Z_PRIMARYKEY) is "ICNote"; its folder is another row of that table
// ("ICFolder"), and its body a row of ZICNOTEDATA (note_store_body.h).
#pragma once

#include <system_error>

#include <string>
#include <vector>

#include "core/apps/note_store_tables.h"
#include "core/apps/table_records.h"

namespace scrivel::apps {

// Reads the notes of `noteStorePath` into `*notes` (replaced). Returns
// success, or the code of opening the file (the list is then left as it
// was). A table that cannot be read completely contributes what was read.
[[nodiscard]] std::error_code ParseNoteStore(const std::string& noteStorePath, std::vector<NoteItem>* notes);

// The assembly step of ParseNoteStore, on decoded rows:
//  - note rows are those of the entity named "ICNote", folder rows those of
//    "ICFolder"; when the entity table names neither, a row that sets a
//    note column (ZNOTEDATA, ZTITLE1) is a note and one that sets a folder
//    column (ZTITLE2, ZFOLDERTYPE) a folder;
//  - a live note is listed deleted when it sits in the Recently Deleted
//    folder (identifier starting "TrashFolder", or folder type 1; the
//    folder's title is display text and not used) or is marked for
//    deletion; note rows rebuilt from free space are listed deleted;
//  - a note's body is the live ZICNOTEDATA row it names (ZNOTEDATA), else
//    one that names it (ZNOTE); a deleted note takes the deleted body whose
//    first line is its title. A locked note gets no body;
//  - deleted bodies left over are listed as deleted notes of their own,
//    with the title, dates and folder of the live note they name, else
//    their first line as title;
//  - a deleted row found twice in the file is listed once.
// Order: live notes in row order, then deleted notes, then left-over bodies.
std::vector<NoteItem> AssembleNoteStore(const std::vector<EntityRecord>& entities,
                                        const std::vector<CloudObjectRecord>& objects,
                                        const std::vector<NoteDataRecord>& bodies);

}  // namespace scrivel::apps
