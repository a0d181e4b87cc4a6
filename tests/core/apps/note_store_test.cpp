// NoteStore.sqlite: the note body decoder on good and hostile blobs, and
// the assembly that tells notes, folders, trashed, locked and deleted notes
// apart.
#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/apps/note_store.h"
#include "core/apps/note_store_body.h"
#include "core/apps/note_store_body.pb.h"
#include "fixtures/note_store_database.h"

namespace scrivel::apps {
namespace {

// `bytes` deflated with a gzip (windowBits 15 + 16) or zlib (15) wrapper.
std::string Compress(const std::string& bytes, int windowBits) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string Gzip(const std::string& bytes) { return Compress(bytes, 15 + 16); }

std::string NoteProtobuf(const std::string& text) {
  notestore::NoteStoreRoot root;
  root.mutable_document()->mutable_note()->set_text(text);
  return root.SerializeAsString();
}

std::string FixtureBody(const std::string& text) {
  const std::vector<std::uint8_t> bytes = fixtures::NoteStoreBody(text);
  return std::string(bytes.begin(), bytes.end());
}

TEST(NoteStoreBodyTest, DecodesGoodBodiesAndRefusesDamagedOnes) {
  const std::string good = FixtureBody("Trip\nCaf\xC3\xA9 \xF0\x9F\x98\x80");
  const struct {
    const char* what;
    std::string blob;
    std::optional<std::string> text;
  } cases[] = {
      {"gzip around the note, with attribute runs", good, "Trip\nCaf\xC3\xA9 \xF0\x9F\x98\x80"},
      {"a bare zlib stream", Compress(NoteProtobuf("plain"), 15), "plain"},
      {"a note without text", Gzip(NoteProtobuf("")), ""},
      {"text that is not UTF-8", Gzip(NoteProtobuf("a\xFF")), "a\xEF\xBF\xBD"},
      {"cut short", good.substr(0, good.size() / 2), std::nullopt},
      {"without its last byte", good.substr(0, good.size() - 1), std::nullopt},
      {"not compressed", NoteProtobuf("plain"), std::nullopt},
      {"ciphertext of a locked note", std::string("\x8a\x13\x5f\x00\xc4\x91\x2e\x77", 8), std::nullopt},
      {"gzip around bytes that are no protocol buffer", Gzip("\xFF\xFF\xFF\xFF"), std::nullopt},
      {"gzip around a message without a document", Gzip(std::string("\x08\x00", 2)), std::nullopt},
      {"inflates beyond the bound", Gzip(std::string(kMaxNoteBodyBytes + 1, '\0')), std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DecodeNoteStoreBody(c.blob), c.text);
  }
}

constexpr std::int32_t kNote = 11;
constexpr std::int32_t kFolder = 14;

CloudObjectRecord Folder(std::int32_t rowId, const char* identifier, const char* title, std::int32_t type) {
  CloudObjectRecord folder;
  folder.rowId = rowId;
  folder.entity = kFolder;
  folder.identifier = identifier;
  folder.folderTitle = title;
  folder.folderType = type;
  folder.hasFolderColumns = 1;
  return folder;
}

CloudObjectRecord Note(std::int32_t rowId, std::int32_t folder, const char* title, std::int32_t noteData) {
  CloudObjectRecord note;
  note.rowId = rowId;
  note.entity = kNote;
  note.folderKey = folder;
  note.noteTitle = title;
  note.noteDataKey = noteData;
  note.created = "2024-01-02 03:04:05";
  note.modified = "2024-01-03 03:04:05";
  note.hasNoteColumns = 1;
  return note;
}

CloudObjectRecord DeletedNote(std::int32_t folder, const char* title) {
  CloudObjectRecord note = Note(0, folder, title, 0);
  note.deleted = 1;
  return note;
}

NoteDataRecord Body(std::int32_t rowId, std::int32_t noteKey, const std::string& text, std::int32_t deleted = 0) {
  return {deleted, rowId, noteKey, FixtureBody(text)};
}

struct Listed {
  std::int32_t deleted;
  std::string title;
  std::string folder;
  std::int32_t locked;
  std::string content;
  bool operator==(const Listed&) const = default;
};

std::vector<Listed> ListedOf(const std::vector<NoteItem>& notes) {
  std::vector<Listed> listed;
  for (const NoteItem& n : notes) listed.push_back({n.deleted, n.title, n.folder, n.locked, n.content});
  return listed;
}

void PrintTo(const Listed& l, std::ostream* out) {
  *out << "{" << l.deleted << ", " << l.title << ", " << l.folder << ", " << l.locked << ", " << l.content << "}";
}

const std::vector<EntityRecord> kEntities = {{0, kNote, "ICNote"}, {0, kFolder, "ICFolder"}, {0, 13, "ICAccount"}};

TEST(NoteStoreAssemblyTest, TellsLiveTrashedLockedAndDeletedNotesApart) {
  CloudObjectRecord locked = Note(14, 2, "Bank", 6);
  locked.locked = 1;
  CloudObjectRecord marked = Note(13, 2, "Marked", 0);
  marked.markedForDeletion = 1;
  const std::vector<CloudObjectRecord> objects = {
      Folder(1, "DefaultFolder-CloudKit", "Notes", 0),
      Folder(2, "0F1E2D3C-user-folder", "Recently Deleted", 0),  // a user's folder of that title is no trash
      Folder(3, "TrashFolder-CloudKit", "Trash", 1),
      Folder(4, "TrashFolder-Local", "Bin", 0),          // a trash folder told by its identifier
      Folder(5, "5A6B-other-trash", "Deleted", 1),       // and one told by its type
      Note(10, 1, "Shopping", 1),
      Note(11, 3, "In the trash", 2),
      Note(12, 4, "Also trashed", 0),
      marked,
      locked,
      Note(15, 5, "Trashed by type", 0),
      Note(16, 1, "Body names the note", 0),
      DeletedNote(2, "Gone"),
      DeletedNote(2, "Gone"),  // the same row found a second time
      DeletedNote(1, "Gone without body"),
  };
  const std::vector<NoteDataRecord> bodies = {
      Body(1, 10, "Shopping\nmilk"),
      Body(2, 11, "In the trash\nold"),
      {0, 6, 14, std::string("\x01\x02\x03\x04", 4)},  // a locked note's ciphertext
      Body(7, 16, "Body names the note\nfound by ZNOTE"),
      Body(0, 0, "Gone\nwas here", 1),
      Body(0, 10, "Shopping\nolder version", 1),  // an older body of a live note
      Body(0, 99, "Lost note\nonly its body survived", 1),
      Body(0, 0, "Gone\nwas here", 1),  // found a second time
  };
  const std::vector<Listed> expected = {
      {0, "Shopping", "Notes", 0, "Shopping\nmilk"},
      {1, "In the trash", "Trash", 0, "In the trash\nold"},
      {1, "Also trashed", "Bin", 0, ""},
      {1, "Marked", "Recently Deleted", 0, ""},
      {0, "Bank", "Recently Deleted", 1, ""},
      {1, "Trashed by type", "Deleted", 0, ""},
      {0, "Body names the note", "Notes", 0, "Body names the note\nfound by ZNOTE"},
      {1, "Gone", "Recently Deleted", 0, "Gone\nwas here"},
      {1, "Gone without body", "Notes", 0, ""},
      {1, "Shopping", "Notes", 0, "Shopping\nolder version"},
      {1, "Lost note", "", 0, "Lost note\nonly its body survived"},
  };
  const std::vector<NoteItem> notes = AssembleNoteStore(kEntities, objects, bodies);
  EXPECT_EQ(ListedOf(notes), expected);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].date, "2024-01-02 03:04:05");
  EXPECT_EQ(notes[0].modified, "2024-01-03 03:04:05");
}

TEST(NoteStoreAssemblyTest, TellsNotesByTheirColumnsWhenTheEntityTableIsLost) {
  CloudObjectRecord account;  // an account row: neither note nor folder columns
  account.rowId = 3;
  account.entity = 13;
  account.identifier = "TrashFolder-looking account";
  const std::vector<CloudObjectRecord> objects = {Folder(1, "TrashFolder-CloudKit", "Recently Deleted", 1),
                                                  Note(2, 1, "Draft", 1), account};
  const std::vector<NoteDataRecord> bodies = {Body(1, 2, "Draft\ntext")};
  for (const std::vector<EntityRecord>& entities :
       {std::vector<EntityRecord>{}, std::vector<EntityRecord>{{1, kNote, "ICNote"}}}) {  // none, or only a deleted row
    EXPECT_EQ(ListedOf(AssembleNoteStore(entities, objects, bodies)),
              (std::vector<Listed>{{1, "Draft", "Recently Deleted", 0, "Draft\ntext"}}));
  }
  // With the entity table, the numbers decide, whatever columns are set.
  const std::vector<EntityRecord> otherNumbers = {{0, 7, "ICNote"}, {0, kFolder, "ICFolder"}};
  EXPECT_TRUE(AssembleNoteStore(otherNumbers, objects, bodies).empty());
}

}  // namespace
}  // namespace scrivel::apps
