// The table layouts of NoteStore.sqlite. The built-in positions are those
// of the iOS 15 layout; every rule also names its column, so the positions
// of the file at hand come from its own schema.
#include "core/apps/note_store_tables.h"

#include "core/apps/record_decoder.h"

namespace scrivel::apps {

namespace {

using A = ColumnAction;

constexpr ColumnRule<EntityRecord> kEntityRules[] = {{"Z_NAME", 1, A::kStrictText, &EntityRecord::name}};
const TableLayout<EntityRecord> kEntityLayout{
    kEntityRules, OtherTexts::kUnchecked, &EntityRecord::entity,
    [](EntityRecord& e, const ColumnsSeen&) { return !e.name.empty(); }};

// Rule indexes the finish test below reads from ColumnsSeen.
enum CloudObjectRule : std::size_t { kEntityRule, kNoteDataRule, kNoteTitleRule, kFolderTitleRule, kFolderTypeRule };

constexpr ColumnRule<CloudObjectRecord> kCloudObjectRules[] = {
    {"Z_ENT", 1, A::kInteger, nullptr, &CloudObjectRecord::entity},
    {"ZNOTEDATA", 52, A::kInteger, nullptr, &CloudObjectRecord::noteDataKey},
    {"ZTITLE1", 137, A::kStrictText, &CloudObjectRecord::noteTitle},
    {"ZTITLE2", 147, A::kStrictText, &CloudObjectRecord::folderTitle},
    {"ZFOLDERTYPE", 65, A::kInteger, nullptr, &CloudObjectRecord::folderType},
    {"ZISPASSWORDPROTECTED", 4, A::kConstant, nullptr, &CloudObjectRecord::locked},
    {"ZMARKEDFORDELETION", 5, A::kConstant, nullptr, &CloudObjectRecord::markedForDeletion},
    {"ZFOLDER", 51, A::kInteger, nullptr, &CloudObjectRecord::folderKey},
    // Core Data timestamps, seconds since 2001-01-01 UTC. The creation date
    // moved from ZCREATIONDATE1 to ZCREATIONDATE3 with iOS 15, where
    // ZCREATIONDATE1 stays NULL on notes; the later column comes later in
    // the record, so a value there wins.
    {"ZCREATIONDATE1", 90, A::kAppleDateOrFloat, &CloudObjectRecord::created},
    {"ZCREATIONDATE3", 93, A::kAppleDateOrFloat, &CloudObjectRecord::created},
    {"ZMODIFICATIONDATE1", 102, A::kAppleDateOrFloat, &CloudObjectRecord::modified},
    {"ZIDENTIFIER", 106, A::kStrictText, &CloudObjectRecord::identifier},
};

// A record must name its entity; the columns it sets tell a note from a
// folder when the entity table cannot be read.
bool FinishCloudObject(CloudObjectRecord& object, const ColumnsSeen& seen) {
  object.hasNoteColumns = seen[kNoteDataRule] || seen[kNoteTitleRule] ? 1 : 0;
  object.hasFolderColumns = seen[kFolderTitleRule] || seen[kFolderTypeRule] ? 1 : 0;
  return seen[kEntityRule];
}

const TableLayout<CloudObjectRecord> kCloudObjectLayout{
    kCloudObjectRules, OtherTexts::kMustConvert,
    &CloudObjectRecord::rowId, FinishCloudObject};

constexpr ColumnRule<NoteDataRecord> kNoteDataRules[] = {
    {"ZNOTE", 3, A::kInteger, nullptr, &NoteDataRecord::noteKey},
    {"ZDATA", 6, A::kBlobBytes, &NoteDataRecord::data},
};
const TableLayout<NoteDataRecord> kNoteDataLayout{
    kNoteDataRules, OtherTexts::kUnchecked,
    &NoteDataRecord::rowId, [](NoteDataRecord& d, const ColumnsSeen&) { return !d.data.empty() || d.deleted == 0; }};

}  // namespace

std::error_code DecodeEntities(sqlite::DatabaseRecovery& noteStore, std::vector<EntityRecord>* out) {
  return DecodeTableInto(noteStore, "Z_PRIMARYKEY", kEntityLayout, out);
}

std::error_code DecodeCloudObjects(sqlite::DatabaseRecovery& noteStore, std::vector<CloudObjectRecord>* out) {
  return DecodeTableInto(noteStore, "ZICCLOUDSYNCINGOBJECT", kCloudObjectLayout, out);
}

std::error_code DecodeNoteData(sqlite::DatabaseRecovery& noteStore, std::vector<NoteDataRecord>* out) {
  return DecodeTableInto(noteStore, "ZICNOTEDATA", kNoteDataLayout, out);
}

}  // namespace scrivel::apps
