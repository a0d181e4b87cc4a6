// One decoder per table the application recovers. Each reads the table's
// live rows, then the deleted rows in the free space of its pages, then the
// rows of freelist pages that look like its pages (ScanTable), and appends
// the records that pass its tests to `out`. Records come out in that
// order; a deleted row found twice (in a free block and on a free page) is
// produced twice.
//
// REQUIRES: `reader` is open; callers of the call-history decoder set
// reader.state.callRecordLayout, callers of the WhatsApp message decoder
// set reader.state.whatsAppMessageColumns. What a decoder learns from live
// rows stays in reader.state for the decoders run after it.
//
// Each returns success, or the code of the last page that could not be read
// (what was decoded before stays in `out`).
#pragma once

#include <system_error>

#include <functional>
#include <string_view>
#include <vector>

#include "core/sqlite/sqlite_reader.h"
#include "core/apps/table_records.h"

namespace scrivel::apps {

// sms.db
[[nodiscard]] std::error_code DecodeMessages(sqlite::SqliteReader& reader, std::vector<MessageItem>* out);
// The same, handing each record to `sink` instead of keeping them.
[[nodiscard]] std::error_code ForEachMessage(sqlite::SqliteReader& reader, const std::function<void(MessageItem&&)>& sink);
[[nodiscard]] std::error_code DecodeHandles(sqlite::SqliteReader& reader, std::vector<HandleRecord>* out);
[[nodiscard]] std::error_code DecodeAttachments(sqlite::SqliteReader& reader, std::vector<AttachmentRecord>* out);
[[nodiscard]] std::error_code DecodeAttachmentLinks(sqlite::SqliteReader& reader, std::vector<AttachmentLink>* out);
// sms.db of iOS 16 and later: "Recently Deleted" messages and their texts.
[[nodiscard]] std::error_code DecodeRecoverableMessages(sqlite::SqliteReader& reader, std::vector<RecoverableMessageLink>* out);
[[nodiscard]] std::error_code DecodeRecoverableParts(sqlite::SqliteReader& reader, std::vector<RecoverablePart>* out);

// AddressBook.sqlitedb: "ABPersonFullTextSearch_content".
[[nodiscard]] std::error_code DecodeContacts(sqlite::SqliteReader& reader, std::vector<ContactItem>* out);

// call_history.db ("call") or CallHistory.storedata ("ZCALLRECORD"); the
// column layout follows reader.state.callRecordLayout, whichever name.
[[nodiscard]] std::error_code DecodeCalls(sqlite::SqliteReader& reader, std::string_view table, std::vector<CallItem>* out);

// notes.sqlite: "ZNOTE" (title, date) and "ZNOTEBODY" (content).
[[nodiscard]] std::error_code DecodeNotes(sqlite::SqliteReader& reader, std::vector<NoteItem>* out);
[[nodiscard]] std::error_code DecodeNoteBodies(sqlite::SqliteReader& reader, std::vector<NoteItem>* out);

// WhatsApp ChatStorage.sqlite.
[[nodiscard]] std::error_code DecodeWhatsAppMessages(sqlite::SqliteReader& reader, std::vector<ChatMessageItem>* out);
[[nodiscard]] std::error_code DecodeChatSessions(sqlite::SqliteReader& reader, std::vector<ChatSession>* out);
[[nodiscard]] std::error_code DecodeGroupMembers(sqlite::SqliteReader& reader, std::vector<GroupMember>* out);
[[nodiscard]] std::error_code DecodeMediaItems(sqlite::SqliteReader& reader, std::vector<MediaItem>* out);

// WeChat: a chat table ("Chat_..."), and "Friend".
[[nodiscard]] std::error_code DecodeWeChatMessages(sqlite::SqliteReader& reader, std::string_view table, std::vector<WeChatMessage>* out);
[[nodiscard]] std::error_code DecodeWeChatFriends(sqlite::SqliteReader& reader, std::vector<WeChatFriend>* out);

// QQ: "tb_c2cTables", and a chat table ("tb_c2cMsg..."); the chat decoder
// keeps only reader.state.peerFilter's messages when that is set.
[[nodiscard]] std::error_code DecodeQQChatTables(sqlite::SqliteReader& reader, std::vector<QQChatTable>* out);
[[nodiscard]] std::error_code DecodeQQMessages(sqlite::SqliteReader& reader, std::string_view table, std::vector<QQMessage>* out);

}  // namespace scrivel::apps
