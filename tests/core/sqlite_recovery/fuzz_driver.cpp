#include "fuzz_driver.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite_recovery/contacts_dump.h"
#include "core/sqlite_recovery/generic_rows.h"
#include "core/sqlite_recovery/messages_dump.h"
#include "core/sqlite_recovery/sqlite_reader.h"
#include "core/sqlite_recovery/table_decoders.h"
#include "core/common/unique_fd.h"

namespace scrivel::sqlite_recovery::testing {

namespace {

template <typename Record>
std::size_t Count(int (*decode)(SqliteReader&, std::vector<Record>*), SqliteReader& reader) {
  std::vector<Record> records;
  (void)decode(reader, &records);
  return records.size();
}

template <typename Record>
std::size_t CountNamed(int (*decode)(SqliteReader&, std::string_view, std::vector<Record>*), SqliteReader& reader,
                       std::string_view table) {
  std::vector<Record> records;
  (void)decode(reader, table, &records);
  return records.size();
}

std::size_t RunAllDecoders(SqliteReader& reader) {
  std::size_t records = 0;
  std::vector<TableDescription> tables;
  (void)ListTables(reader, &tables);
  for (const TableDescription& table : tables)
    (void)ScanGenericRows(reader, table, [&](const GenericRow&) { ++records; });
  records += Count(DecodeMessages, reader) + Count(DecodeHandles, reader) + Count(DecodeAttachments, reader) +
             Count(DecodeAttachmentLinks, reader) + Count(DecodeContacts, reader) + Count(DecodeNotes, reader) +
             Count(DecodeNoteBodies, reader) + Count(DecodeChatSessions, reader) + Count(DecodeGroupMembers, reader) +
             Count(DecodeMediaItems, reader) + Count(DecodeWeChatFriends, reader) + Count(DecodeQQChatTables, reader);
  for (const int layout : {0, 1}) {
    reader.state.callRecordLayout = layout;
    records += CountNamed(DecodeCalls, reader, "call") + CountNamed(DecodeCalls, reader, "ZCALLRECORD");
  }
  for (const int columns : {28, 34}) {
    reader.state.whatsAppMessageColumns = columns;
    records += Count(DecodeWhatsAppMessages, reader);
  }
  reader.state.peerFilter = "1";
  records += CountNamed(DecodeWeChatMessages, reader, "Chat_x") + CountNamed(DecodeQQMessages, reader, "tb_c2cMsg_1");
  // Every table of the file also through the typed walk of an unknown table.
  for (const TableDescription& table : tables)
    records += CountNamed(DecodeWeChatMessages, reader, table.name);
  return records;
}

}  // namespace

std::size_t RunReaderOnBytes(const std::uint8_t* data, std::size_t size) {
  // The reader opens a path; an anonymous in-memory file gives it one
  // without touching the disk.
  UniqueFd file(::memfd_create("scrivel-fuzz", MFD_CLOEXEC));
  if (!file.IsOpen()) return 0;
  for (std::size_t written = 0; written < size;) {
    const ssize_t n = ::write(file.Get(), data + written, size - written);
    if (n <= 0) return 0;
    written += static_cast<std::size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(file.Get());
  SqliteReader reader;
  if (reader.Open(path) != kOk) return 0;
  const std::size_t records = RunAllDecoders(reader);
  // The two raw row dumps open the file themselves; their lines go nowhere.
  (void)DumpMessageRows(path, "/dev/null", 0);
  (void)DumpContactRows(path, "/dev/null", 0);
  return records;
}

}  // namespace scrivel::sqlite_recovery::testing
