#include "fuzz_driver.h"

#include <cstdlib>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/apps/contacts_address_book.h"
#include "core/apps/contacts_dump.h"
#include "core/sqlite/generic_rows.h"
#include "core/apps/messages_dump.h"
#include "core/apps/note_store.h"
#include "core/apps/note_store_tables.h"
#include "core/sqlite/sqlite_reader.h"
#include "core/apps/table_decoders.h"
#include "core/common/unique_fd.h"

namespace scrivel::apps::testing {

namespace {

template <typename Record>
std::size_t Count(std::error_code (*decode)(sqlite::SqliteReader&, std::vector<Record>*), sqlite::SqliteReader& reader) {
  std::vector<Record> records;
  (void)decode(reader, &records);
  return records.size();
}

template <typename Record>
std::size_t CountNamed(std::error_code (*decode)(sqlite::SqliteReader&, std::string_view, std::vector<Record>*), sqlite::SqliteReader& reader,
                       std::string_view table) {
  std::vector<Record> records;
  (void)decode(reader, table, &records);
  return records.size();
}

std::size_t RunAllDecoders(sqlite::SqliteReader& reader) {
  std::size_t records = 0;
  std::vector<sqlite::TableDescription> tables;
  (void)sqlite::ListTables(reader, &tables);
  for (const sqlite::TableDescription& table : tables)
    (void)sqlite::ScanGenericRows(reader, table, [&](const sqlite::GenericRow&) { ++records; });
  records += Count(DecodeMessages, reader) + Count(DecodeHandles, reader) + Count(DecodeAttachments, reader) +
             Count(DecodeAttachmentLinks, reader) + Count(DecodeContacts, reader) + Count(DecodeNotes, reader) +
             Count(DecodeNoteBodies, reader) + Count(DecodeChatSessions, reader) + Count(DecodeGroupMembers, reader) +
             Count(DecodeMediaItems, reader) + Count(DecodeWeChatFriends, reader) + Count(DecodeQQChatTables, reader) +
             Count(DecodeRecoverableMessages, reader) + Count(DecodeRecoverableParts, reader) +
             Count(ReadAddressBookPeople, reader) + Count(DecodeEntities, reader) + Count(DecodeCloudObjects, reader) +
             Count(DecodeNoteData, reader);
  for (const int layout : {0, 1}) {
    reader.state.callRecordLayout = layout;
    records += CountNamed(DecodeCalls, reader, "call") + CountNamed(DecodeCalls, reader, "ZCALLRECORD");
  }
  for (const int columns : {28, 34}) {
    reader.state.whatsAppMessageColumns = columns;
    records += Count(DecodeWhatsAppMessages, reader);
  }
  reader.state.peerFilter = std::string(1, '1');
  records += CountNamed(DecodeWeChatMessages, reader, "Chat_x") + CountNamed(DecodeQQMessages, reader, "tb_c2cMsg_1");
  // Every table of the file also through the typed walk of an unknown table.
  for (const sqlite::TableDescription& table : tables)
    records += CountNamed(DecodeWeChatMessages, reader, table.name);
  return records;
}

}  // namespace

std::size_t RunReaderOnBytes(const std::uint8_t* data, std::size_t size) {
  // The reader opens a path, and never through a symbolic link (so not
  // through /proc/self/fd): the bytes go into a temporary file of their own.
  std::string path = "/tmp/scrivel-fuzz-XXXXXX";
  UniqueFd file(::mkstemp(path.data()));
  if (!file.IsOpen()) return 0;
  struct RemoveOnExit {
    const std::string& path;
    ~RemoveOnExit() { ::unlink(path.c_str()); }
  } removeOnExit{path};
  for (std::size_t written = 0; written < size;) {
    const ssize_t n = ::write(file.Get(), data + written, size - written);
    if (n <= 0) return 0;
    written += static_cast<std::size_t>(n);
  }
  sqlite::SqliteReader reader;
  if (reader.Open(path)) return 0;
  const std::size_t records = RunAllDecoders(reader);
  // The two raw row dumps open the file themselves; their lines go nowhere.
  (void)DumpMessageRows(path, "/dev/null", 0);
  (void)DumpContactRows(path, "/dev/null", 0);
  // The notes store opens the file itself, and decodes the note bodies it finds.
  std::vector<NoteItem> notes;
  (void)ParseNoteStore(path, &notes);
  return records + notes.size();
}

}  // namespace scrivel::apps::testing
