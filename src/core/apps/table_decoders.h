// One decoder per table the application recovers. Each hands the table's
// rows from the recovery engine (database_recovery.h: live rows in key
// order, then deleted rows, each found once) to the table's layout and
// appends the records that pass its tests to `out`, in that order. A
// database is opened once and all its tables are decoded from the one
// DatabaseRecovery, so that its free space is searched once.
//
// REQUIRES: `recovery` is open. A database without the table gives nothing.
// Each returns success, or the code of the last page that could not be read
// (what was decoded before stays in `out`).
#pragma once

#include <system_error>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/sqlite/database_recovery.h"
#include "core/apps/table_records.h"

namespace scrivel::apps {

// The highest rowid among the live records in `records` (their rowId
// field, read as unsigned 32 bits); 0 when there is none. Rows rebuilt from
// free space are numbered above it.
template <typename Record>
std::uint64_t HighestLiveRowId(const std::vector<Record>& records) {
  std::uint64_t highest = 0;
  for (const Record& record : records)
    if (record.deleted == 0) highest = std::max<std::uint64_t>(highest, static_cast<std::uint32_t>(record.rowId));
  return highest;
}

// sms.db
[[nodiscard]] std::error_code DecodeMessages(sqlite::DatabaseRecovery& recovery, std::vector<MessageItem>* out);
// The same, handing each record to `sink` instead of keeping them.
[[nodiscard]] std::error_code ForEachMessage(sqlite::DatabaseRecovery& recovery, const std::function<void(MessageItem&&)>& sink);
[[nodiscard]] std::error_code DecodeHandles(sqlite::DatabaseRecovery& recovery, std::vector<HandleRecord>* out);
[[nodiscard]] std::error_code DecodeAttachments(sqlite::DatabaseRecovery& recovery, std::vector<AttachmentRecord>* out);
[[nodiscard]] std::error_code DecodeAttachmentLinks(sqlite::DatabaseRecovery& recovery, std::vector<AttachmentLink>* out);
// sms.db of iOS 16 and later: "Recently Deleted" messages and their texts.
[[nodiscard]] std::error_code DecodeRecoverableMessages(sqlite::DatabaseRecovery& recovery, std::vector<RecoverableMessageLink>* out);
[[nodiscard]] std::error_code DecodeRecoverableParts(sqlite::DatabaseRecovery& recovery, std::vector<RecoverablePart>* out);

// AddressBook.sqlitedb: "ABPersonFullTextSearch_content".
[[nodiscard]] std::error_code DecodeContacts(sqlite::DatabaseRecovery& recovery, std::vector<ContactItem>* out);

// The record layouts of call history: the table "call" of call_history.db
// and "ZCALLRECORD" of CallHistory.storedata.
enum class CallRecordLayout { kCallHistoryDb, kStoreData };

// Decodes `table` with the column layout `layout`, whichever its name.
[[nodiscard]] std::error_code DecodeCalls(sqlite::DatabaseRecovery& recovery, std::string_view table, CallRecordLayout layout,
                                          std::vector<CallItem>* out);

// notes.sqlite: "ZNOTE" (title, date) and "ZNOTEBODY" (content).
[[nodiscard]] std::error_code DecodeNotes(sqlite::DatabaseRecovery& recovery, std::vector<NoteItem>* out);
[[nodiscard]] std::error_code DecodeNoteBodies(sqlite::DatabaseRecovery& recovery, std::vector<NoteItem>* out);

// WhatsApp ChatStorage.sqlite.
// `messageColumns` is the column count "ZWAMESSAGE" declares: up to 28 in
// older WhatsApp versions, more in later ones, which are read differently.
[[nodiscard]] std::error_code DecodeWhatsAppMessages(sqlite::DatabaseRecovery& recovery, int messageColumns,
                                                     std::vector<ChatMessageItem>* out);
[[nodiscard]] std::error_code DecodeChatSessions(sqlite::DatabaseRecovery& recovery, std::vector<ChatSession>* out);
[[nodiscard]] std::error_code DecodeGroupMembers(sqlite::DatabaseRecovery& recovery, std::vector<GroupMember>* out);
[[nodiscard]] std::error_code DecodeMediaItems(sqlite::DatabaseRecovery& recovery, std::vector<MediaItem>* out);

// WeChat: a chat table ("Chat_..."), and "Friend".
[[nodiscard]] std::error_code DecodeWeChatMessages(sqlite::DatabaseRecovery& recovery, std::string_view table, std::vector<WeChatMessage>* out);
[[nodiscard]] std::error_code DecodeWeChatFriends(sqlite::DatabaseRecovery& recovery, std::vector<WeChatFriend>* out);

// QQ: "tb_c2cTables", and a chat table ("tb_c2cMsg..."); the chat decoder
// keeps only the messages of `peerFilter` when it is not empty.
[[nodiscard]] std::error_code DecodeQQChatTables(sqlite::DatabaseRecovery& recovery, std::vector<QQChatTable>* out);
[[nodiscard]] std::error_code DecodeQQMessages(sqlite::DatabaseRecovery& recovery, std::string_view table,
                                               std::string_view peerFilter, std::vector<QQMessage>* out);

}  // namespace scrivel::apps
