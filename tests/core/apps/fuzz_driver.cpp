#include "fuzz_driver.h"

#include <cstdlib>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/apps/contacts_address_book.h"
#include "core/apps/contacts_dump.h"
#include "core/apps/messages_dump.h"
#include "core/apps/note_store.h"
#include "core/apps/note_store_tables.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"
#include "core/common/unique_fd.h"

namespace scrivel::apps::testing {

namespace {

template <typename Record>
std::size_t Count(std::error_code (*decode)(sqlite::DatabaseRecovery&, std::vector<Record>*), sqlite::DatabaseRecovery& recovery) {
  std::vector<Record> records;
  (void)decode(recovery, &records);
  return records.size();
}

// Counts every row the engine hands on.
class RowCounter : public sqlite::RowSink {
 public:
  void OnRow(const sqlite::RecoveredTable&, const sqlite::RecoveredRow&) override { ++rows; }
  std::size_t rows = 0;
};

std::size_t RunAllDecoders(sqlite::DatabaseRecovery& recovery) {
  RowCounter counter;
  for (std::size_t table = 0; table < recovery.Tables().size(); ++table) (void)recovery.Recover(table, counter);
  recovery.LostAndFound(counter);
  std::size_t records = counter.rows;
  records += Count(DecodeMessages, recovery) + Count(DecodeHandles, recovery) + Count(DecodeAttachments, recovery) +
             Count(DecodeAttachmentLinks, recovery) + Count(DecodeContacts, recovery) + Count(DecodeNotes, recovery) +
             Count(DecodeNoteBodies, recovery) + Count(DecodeChatSessions, recovery) + Count(DecodeGroupMembers, recovery) +
             Count(DecodeMediaItems, recovery) + Count(DecodeWeChatFriends, recovery) + Count(DecodeQQChatTables, recovery) +
             Count(DecodeRecoverableMessages, recovery) + Count(DecodeRecoverableParts, recovery) +
             Count(ReadAddressBookPeople, recovery) + Count(DecodeEntities, recovery) + Count(DecodeCloudObjects, recovery) +
             Count(DecodeNoteData, recovery);
  std::vector<CallItem> calls;
  for (const CallRecordLayout layout : {CallRecordLayout::kCallHistoryDb, CallRecordLayout::kStoreData}) {
    (void)DecodeCalls(recovery, "call", layout, &calls);
    (void)DecodeCalls(recovery, "ZCALLRECORD", layout, &calls);
  }
  std::vector<ChatMessageItem> chatMessages;
  for (const int columns : {28, 34}) (void)DecodeWhatsAppMessages(recovery, columns, &chatMessages);
  std::vector<WeChatMessage> weChatMessages;
  (void)DecodeWeChatMessages(recovery, "Chat_x", &weChatMessages);
  std::vector<QQMessage> qqMessages;
  (void)DecodeQQMessages(recovery, "tb_c2cMsg_1", "1", &qqMessages);
  // Every table of the file also through the typed walk of an unknown table.
  for (const sqlite::RecoveredTable& table : recovery.Tables()) (void)DecodeWeChatMessages(recovery, table.name, &weChatMessages);
  return records + calls.size() + chatMessages.size() + weChatMessages.size() + qqMessages.size();
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
  sqlite::DatabaseRecovery recovery;
  if (recovery.Open(path)) return 0;
  const std::size_t records = RunAllDecoders(recovery);
  // The two raw row dumps open the file themselves; their lines go nowhere.
  (void)DumpMessageRows(path, "/dev/null", 0);
  (void)DumpContactRows(path, "/dev/null", 0);
  // The notes store opens the file itself, and decodes the note bodies it finds.
  std::vector<NoteItem> notes;
  (void)ParseNoteStore(path, &notes);
  return records + notes.size();
}

}  // namespace scrivel::apps::testing
