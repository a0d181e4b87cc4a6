// The table layouts of NoteStore.sqlite. The built-in positions are those
// of the iOS 15 layout; every rule also names its column, so the positions
// of the file at hand come from its own schema.
#include "core/apps/note_store_tables.h"

#include "core/apps/record_decoder.h"

namespace scrivel::apps {

namespace {

using A = ColumnAction;

template <typename Record>
std::error_code DecodeInto(sqlite::SqliteReader& reader, std::string_view table, const TableLayout<Record>& layout,
                           std::vector<Record>* out) {
  TypedDecoder<Record> decoder(reader, table, layout, [out](Record&& record) { out->push_back(std::move(record)); });
  return sqlite::ScanTable(reader, table, decoder);
}

constexpr ColumnRule<EntityRecord> kEntityRules[] = {{"Z_NAME", 1, A::kStrictText, &EntityRecord::name}};
const TableLayout<EntityRecord> kEntityLayout{
    kEntityRules, OtherTexts::kUnchecked, Learning::kNothing, CandidateTypes::kExpectedColumns, &EntityRecord::entity,
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
    kCloudObjectRules, OtherTexts::kMustConvert, Learning::kNothing, CandidateTypes::kExpectedColumns,
    &CloudObjectRecord::rowId, FinishCloudObject};

constexpr ColumnRule<NoteDataRecord> kNoteDataRules[] = {
    {"ZNOTE", 3, A::kInteger, nullptr, &NoteDataRecord::noteKey},
    {"ZDATA", 6, A::kBlobBytes, &NoteDataRecord::data},
};
const TableLayout<NoteDataRecord> kNoteDataLayout{
    kNoteDataRules, OtherTexts::kUnchecked, Learning::kNothing, CandidateTypes::kExpectedColumns,
    &NoteDataRecord::rowId, [](NoteDataRecord& d, const ColumnsSeen&) { return !d.data.empty() || d.deleted == 0; }};

}  // namespace

std::error_code DecodeEntities(sqlite::SqliteReader& reader, std::vector<EntityRecord>* out) {
  return DecodeInto(reader, "Z_PRIMARYKEY", kEntityLayout, out);
}

std::error_code DecodeCloudObjects(sqlite::SqliteReader& reader, std::vector<CloudObjectRecord>* out) {
  return DecodeInto(reader, "ZICCLOUDSYNCINGOBJECT", kCloudObjectLayout, out);
}

std::error_code DecodeNoteData(sqlite::SqliteReader& reader, std::vector<NoteDataRecord>* out) {
  return DecodeInto(reader, "ZICNOTEDATA", kNoteDataLayout, out);
}

}  // namespace scrivel::apps
