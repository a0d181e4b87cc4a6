// The rows of NoteStore.sqlite (iOS 9 and later), as the table decoders
// read them from the recovery engine: live rows, then deleted rows. Column names are looked up
// in the database's own CREATE TABLE statements; names that moved between
// iOS versions are all listed, and whichever a row sets is taken.
#pragma once

#include <system_error>

#include <cstdint>
#include <string>
#include <vector>

#include "core/sqlite/database_recovery.h"

namespace scrivel::apps {

// A row of Z_PRIMARYKEY: a Core Data entity number and its name ("ICNote").
struct EntityRecord {
  std::int32_t deleted = 0;
  std::int32_t entity = 0;  // Z_ENT (the rowid)
  std::string name;
};

// A row of ZICCLOUDSYNCINGOBJECT, the table of notes, folders, accounts and
// attachments alike (told apart by `entity`).
struct CloudObjectRecord {
  std::int32_t deleted = 0;
  std::int32_t rowId = 0;          // Z_PK of a live row; 0 for a deleted one
  std::int32_t entity = 0;         // Z_ENT
  std::int32_t folderKey = 0;      // ZFOLDER: a note's folder
  std::int32_t noteDataKey = 0;    // ZNOTEDATA: a note's body row
  std::int32_t folderType = 0;     // ZFOLDERTYPE: 1 = the Recently Deleted folder
  std::int32_t locked = 0;         // ZISPASSWORDPROTECTED
  std::int32_t markedForDeletion = 0;  // ZMARKEDFORDELETION
  std::int32_t hasNoteColumns = 0;     // a column only notes set (ZNOTEDATA, ZTITLE1) holds a value
  std::int32_t hasFolderColumns = 0;   // a column only folders set (ZTITLE2, ZFOLDERTYPE) holds a value
  std::string created;             // ZCREATIONDATE1 (iOS 13-14) or ZCREATIONDATE3 (iOS 15 on)
  std::string modified;            // ZMODIFICATIONDATE1
  std::string identifier;          // ZIDENTIFIER ("TrashFolder-CloudKit", a UUID, ...)
  std::string noteTitle;           // ZTITLE1
  std::string folderTitle;         // ZTITLE2
};

// A row of ZICNOTEDATA: the body of one note.
struct NoteDataRecord {
  std::int32_t deleted = 0;
  std::int32_t rowId = 0;    // Z_PK of a live row; 0 for a deleted one
  std::int32_t noteKey = 0;  // ZNOTE: Z_PK of the note row
  std::string data;          // ZDATA bytes: gzip, or ciphertext for a locked note
};

[[nodiscard]] std::error_code DecodeEntities(sqlite::DatabaseRecovery& noteStore, std::vector<EntityRecord>* out);
[[nodiscard]] std::error_code DecodeCloudObjects(sqlite::DatabaseRecovery& noteStore, std::vector<CloudObjectRecord>* out);
[[nodiscard]] std::error_code DecodeNoteData(sqlite::DatabaseRecovery& noteStore, std::vector<NoteDataRecord>* out);

}  // namespace scrivel::apps
