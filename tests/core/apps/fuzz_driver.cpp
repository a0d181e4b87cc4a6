#include "fuzz_driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include <string>
#include <string_view>
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

// Writes `size` bytes to `path` (created, or emptied); false on failure.
bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!file.IsOpen()) return false;
  for (std::size_t written = 0; written < size;) {
    const ssize_t n = ::write(file.Get(), data + written, size - written);
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// A file of its own under /tmp, removed with the object; the readers open
// paths, and never through a symbolic link (so not through /proc/self/fd).
class TemporaryPath {
 public:
  TemporaryPath() {
    UniqueFd file(::mkstemp(m_path.data()));
    m_made = file.IsOpen();
  }
  ~TemporaryPath() {
    if (!m_made) return;
    for (const char* suffix : {"", "-wal", "-journal"}) ::unlink((m_path + suffix).c_str());
  }
  TemporaryPath(const TemporaryPath&) = delete;
  TemporaryPath& operator=(const TemporaryPath&) = delete;
  bool Made() const { return m_made; }
  const std::string& Get() const { return m_path; }

 private:
  std::string m_path = "/tmp/scrivel-fuzz-XXXXXX";
  bool m_made = false;
};

// Where `marker` starts in [begin, end), or end.
const std::uint8_t* Find(const std::uint8_t* begin, const std::uint8_t* end, std::string_view marker) {
  const std::string_view text(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
  const std::size_t at = text.find(marker);
  return at == std::string_view::npos ? end : begin + at;
}

}  // namespace

std::size_t RunReaderOnBytes(const std::uint8_t* data, std::size_t size) {
  TemporaryPath path;
  if (!path.Made() || !WriteFile(path.Get(), data, size)) return 0;
  sqlite::DatabaseRecovery recovery;
  if (recovery.Open(path.Get())) return 0;
  const std::size_t records = RunAllDecoders(recovery);
  // The two raw row dumps open the file themselves; their lines go nowhere.
  (void)DumpMessageRows(path.Get(), "/dev/null", 0);
  (void)DumpContactRows(path.Get(), "/dev/null", 0);
  // The notes store opens the file itself, and decodes the note bodies it finds.
  std::vector<NoteItem> notes;
  (void)ParseNoteStore(path.Get(), &notes);
  return records + notes.size();
}

std::size_t RunEngineOnBytes(const std::uint8_t* data, std::size_t size) {
  // DATABASE [kWalMarker WAL] [kJournalMarker JOURNAL]
  const std::uint8_t* end = data + size;
  const std::uint8_t* journalMarker = Find(data, end, kJournalMarker);
  const std::uint8_t* walMarker = Find(data, journalMarker, kWalMarker);  // journalMarker: none
  TemporaryPath path;
  if (!path.Made() || !WriteFile(path.Get(), data, static_cast<std::size_t>(walMarker - data))) return 0;
  if (walMarker != journalMarker) {
    const std::uint8_t* wal = walMarker + kWalMarker.size();
    if (!WriteFile(path.Get() + "-wal", wal, static_cast<std::size_t>(journalMarker - wal))) return 0;
  }
  if (journalMarker != end) {
    const std::uint8_t* journal = journalMarker + kJournalMarker.size();
    if (!WriteFile(path.Get() + "-journal", journal, static_cast<std::size_t>(end - journal))) return 0;
  }
  sqlite::DatabaseRecovery recovery;
  if (recovery.Open(path.Get())) return 0;
  RowCounter counter;
  for (std::size_t table = 0; table < recovery.Tables().size(); ++table) (void)recovery.Recover(table, counter);
  recovery.LostAndFound(counter);
  return counter.rows + recovery.Damage().size();
}

}  // namespace scrivel::apps::testing
