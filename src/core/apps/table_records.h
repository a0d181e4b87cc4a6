// The records the table decoders (table_decoders.h) produce, one type per
// kind of table. Texts are UTF-8. Every record starts with `deleted`:
// 0 = a live row, 1 = a row rebuilt from free space.
#pragma once

#include <cstdint>
#include <string>

namespace scrivel::apps {

// A row of "message" (sms.db).
struct MessageItem {
  std::int32_t deleted = 0;
  std::int32_t fromMe = 0;     // 1 when sent from the phone
  std::int32_t rowId = 0;      // ROWID (low 32 bits); 0 for a row rebuilt from free space
  std::int32_t handleId = 0;   // ROWID of the partner in "handle"; 0 when absent
  std::string date;            // local time; empty when not stored as an integer
  std::string address;         // filled by the message assembly
  std::string name;            // filled by the message assembly
  std::string text;            // never empty: the last text, "This message was unsent." when nothing is left
  std::string attachment;      // filled by the message assembly
  std::int32_t edited = 0;     // 1 when the sender changed the text after sending (iOS 16 and later)
  std::int32_t unsent = 0;     // 1 when the sender took the message, or a part of it, back
  std::int32_t reactionType = 0;  // associated_message_type: 2000-2007 a reaction, 3000-3007 its removal; else 0
  std::string guid;            // the message's own GUID
  std::string reactionTarget;  // associated_message_guid of a reaction: "p:N/<GUID>" or "bp:<GUID>"
  std::string reactions;       // filled by the message assembly: "Liked by Ann Lee. Loved by Me."
  std::string archivedBody;    // attributedBody bytes; read and emptied by the message decoder
  std::string summaryInfo;     // message_summary_info bytes; read and emptied by the message decoder
};

// A row of "handle" (sms.db): a conversation partner.
struct HandleRecord {
  std::int32_t deleted = 0;
  std::int32_t rowId = 0;
  std::string id;              // phone number or e-mail address
};

// A row of "attachment" (sms.db).
struct AttachmentRecord {
  std::int32_t deleted = 0;
  std::int32_t rowId = 0;
  std::int32_t messageId = 0;  // filled by the message assembly
  std::string filename;
};

// A row of "message_attachment_join" (sms.db).
struct AttachmentLink {
  std::int32_t deleted = 0;
  std::int32_t attachmentId = 0;
  std::int32_t messageId = 0;
};

// A row of "chat_recoverable_message_join" (sms.db, iOS 16 and later): a
// message the person deleted that waits in "Recently Deleted".
struct RecoverableMessageLink {
  std::int32_t deleted = 0;
  std::int32_t messageId = 0;  // ROWID of the message in "message"
};

// A row of "recoverable_message_part" (sms.db, iOS 16 and later): the text
// of one part of such a message.
struct RecoverablePart {
  std::int32_t deleted = 0;
  std::int32_t messageId = 0;
  std::int32_t partIndex = 0;
  std::string text;            // the part's text; the decoder turns a typedstream archive into its text
};

// A person of the address book (AddressBook.sqlitedb): a row of
// "ABPersonFullTextSearch_content", or of "ABPerson" with its values from
// "ABMultiValue". Several values of one field are on lines of their own,
// each after its label when it has one ("mobile: (919) 888-7386").
struct ContactItem {
  std::int32_t deleted = 0;
  std::string email;
  std::string address;
  std::string social;
  std::string url;
  std::string phone;           // decoded: the numbers in the several forms the search table stores
  std::string company;
  std::string name;            // as the phone shows it (contacts_name.h)
  std::int32_t rowId = 0;      // ABPerson ROWID, the search row's docid; 0 for a deleted row
  std::string prefix;          // the stored name parts
  std::string first;
  std::string middle;
  std::string last;
  std::string suffix;
};

// A row of "call" (call_history.db) or "ZCALLRECORD" (CallHistory.storedata).
struct CallItem {
  std::int32_t deleted = 0;
  std::int32_t incoming = 0;   // 1 = incoming call
  std::int32_t duration = 0;   // seconds
  std::string date;
  std::string address;         // the other party's number or address
  std::string name;            // filled by the call-history assembly
};

// A row of "ZNOTE" (title and date) or "ZNOTEBODY" (content) (notes.sqlite).
struct NoteItem {
  std::int32_t deleted = 0;
  std::int32_t noteKey = 0;    // pairs a "ZNOTE" record with its "ZNOTEBODY" record
  std::string date;
  std::string title;
  std::string content;
  // NoteStore.sqlite only (empty or 0 for notes.sqlite):
  std::string modified;     // modification date
  std::string folder;       // title of the note's folder
  std::int32_t locked = 0;  // password-protected: the body is not read
};

// A row of "ZWAMESSAGE" (WhatsApp ChatStorage.sqlite).
struct ChatMessageItem {
  std::int32_t deleted = 0;
  std::int32_t fromMe = 0;
  std::int32_t messageId = 0;      // rowid of a live record; 0 for a deleted one
  std::int32_t chatSessionId = -1; // -1 when the record does not say
  std::int32_t groupMemberId = 0;
  std::int32_t mediaItemId = 0;
  std::string date;
  std::string senderName;          // filled by the WhatsApp assembly
  std::string text;
  std::string senderJid;           // filled by the WhatsApp assembly
  std::string chatNames;           // filled by the WhatsApp assembly
  std::string chatJids;            // filled by the WhatsApp assembly
  std::string chatTitle;           // filled by the WhatsApp assembly
  std::string reserved;            // always empty
  std::int32_t messageType = 0;    // ZMESSAGETYPE: 0 text, 1 image, ..., 14 deleted for everybody
};

// A row of "ZWACHATSESSION".
struct ChatSession {
  std::int32_t deleted = 0;
  std::int32_t sessionId = 0;  // rowid
  std::string contactJid;      // the chat's WhatsApp id before its "@"
  std::string partnerName;
  std::string memberNames;     // filled by the WhatsApp assembly
  std::string memberJids;      // filled by the WhatsApp assembly
};

// A row of "ZWAGROUPMEMBER".
struct GroupMember {
  std::int32_t deleted = 0;
  std::int32_t memberId = 0;   // rowid
  std::int32_t chatSessionId = 0;
  std::string memberJid;       // before its "@"
  std::string contactName;
};

// A row of "ZWAMEDIAITEM".
struct MediaItem {
  std::int32_t deleted = 0;
  std::int32_t mediaId = 0;    // rowid
  std::string localPath;
};

// A row of a WeChat chat table ("Chat_...").
struct WeChatMessage {
  std::int32_t deleted = 0;
  std::int32_t isSend = 0;
  std::int32_t rowId = 0;
  std::string date;
  std::string text;
};

// A row of WeChat's "Friend".
struct WeChatFriend {
  std::int32_t deleted = 0;
  std::int32_t type = 0;
  std::string userName;
  std::string nickName;
};

// A row of QQ's "tb_c2cTables": the name of one chat table.
struct QQChatTable {
  std::int32_t deleted = 0;
  std::string tableName;
  std::string peer;            // the part of tableName after its last "_"
};

// A row of a QQ chat table ("tb_c2cMsg...").
struct QQMessage {
  std::int32_t deleted = 0;
  std::int32_t isSend = 0;
  std::int32_t rowId = 0;
  std::string date;
  std::string content;
};

}  // namespace scrivel::apps
