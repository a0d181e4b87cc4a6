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
// Each returns kOk, or the code of the last page that could not be read
// (what was decoded before stays in `out`).
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "core/sqlite_recovery/sqlite_reader.h"
#include "core/sqlite_recovery/table_records.h"

namespace scrivel::sqlite_recovery {

// sms.db
[[nodiscard]] int DecodeMessages(SqliteReader& reader, std::vector<MessageItem>* out);
// The same, handing each record to `sink` instead of keeping them.
[[nodiscard]] int ForEachMessage(SqliteReader& reader, const std::function<void(MessageItem&&)>& sink);
[[nodiscard]] int DecodeHandles(SqliteReader& reader, std::vector<HandleRecord>* out);
[[nodiscard]] int DecodeAttachments(SqliteReader& reader, std::vector<AttachmentRecord>* out);
[[nodiscard]] int DecodeAttachmentLinks(SqliteReader& reader, std::vector<AttachmentLink>* out);

// AddressBook.sqlitedb: "ABPersonFullTextSearch_content".
[[nodiscard]] int DecodeContacts(SqliteReader& reader, std::vector<ContactItem>* out);

// call_history.db ("call") or CallHistory.storedata ("ZCALLRECORD"); the
// column layout follows reader.state.callRecordLayout, whichever name.
[[nodiscard]] int DecodeCalls(SqliteReader& reader, std::string_view table, std::vector<CallItem>* out);

// notes.sqlite: "ZNOTE" (title, date) and "ZNOTEBODY" (content).
[[nodiscard]] int DecodeNotes(SqliteReader& reader, std::vector<NoteItem>* out);
[[nodiscard]] int DecodeNoteBodies(SqliteReader& reader, std::vector<NoteItem>* out);

// WhatsApp ChatStorage.sqlite.
[[nodiscard]] int DecodeWhatsAppMessages(SqliteReader& reader, std::vector<ChatMessageItem>* out);
[[nodiscard]] int DecodeChatSessions(SqliteReader& reader, std::vector<ChatSession>* out);
[[nodiscard]] int DecodeGroupMembers(SqliteReader& reader, std::vector<GroupMember>* out);
[[nodiscard]] int DecodeMediaItems(SqliteReader& reader, std::vector<MediaItem>* out);

// WeChat: a chat table ("Chat_..."), and "Friend".
[[nodiscard]] int DecodeWeChatMessages(SqliteReader& reader, std::string_view table, std::vector<WeChatMessage>* out);
[[nodiscard]] int DecodeWeChatFriends(SqliteReader& reader, std::vector<WeChatFriend>* out);

// QQ: "tb_c2cTables", and a chat table ("tb_c2cMsg..."); the chat decoder
// keeps only reader.state.peerFilter's messages when that is set.
[[nodiscard]] int DecodeQQChatTables(SqliteReader& reader, std::vector<QQChatTable>* out);
[[nodiscard]] int DecodeQQMessages(SqliteReader& reader, std::string_view table, std::vector<QQMessage>* out);

}  // namespace scrivel::sqlite_recovery
