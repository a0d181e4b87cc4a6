// The table layouts of the decoders: for each table, the columns it keeps
// (by name, and by the position they have in the reference layouts: iOS 7
// and 8 messages and contacts, iOS 6 call history, the older notes store,
// WhatsApp 2.2x) and what it does with them. Each decoder looks the names
// up in the database's own CREATE TABLE statement when it starts.
#include "core/apps/table_decoders.h"

#include "core/apps/contacts_name.h"
#include "core/apps/message_text.h"
#include "core/apps/record_decoder.h"

namespace scrivel::apps {

namespace {

using A = ColumnAction;

// ---- sms.db ----

// Columns that older layouts lack have no built-in position (-1): they are
// read only where the database's own schema names them.
constexpr ColumnRule<MessageItem> kMessageRules[] = {
    {"guid", 1, A::kText, &MessageItem::guid},
    {"text", 2, A::kStrictText, &MessageItem::text},
    {"handle_id", 5, A::kInteger, nullptr, &MessageItem::handleId},
    {"attributedBody", 8, A::kBlobBytes, &MessageItem::archivedBody},
    {"date", 15, A::kAppleDate, &MessageItem::date},
    {"is_from_me", 21, A::kOneWhenOne, nullptr, &MessageItem::fromMe},
    {"associated_message_guid", -1, A::kText, &MessageItem::reactionTarget},
    {"associated_message_type", -1, A::kInteger, nullptr, &MessageItem::reactionType},
    {"message_summary_info", -1, A::kBlobBytes, &MessageItem::summaryInfo},
    {"date_edited", -1, A::kOneWhenNonZero, nullptr, &MessageItem::edited},
    {"date_retracted", -1, A::kOneWhenNonZero, nullptr, &MessageItem::unsent},
};
// A deleted message must still show its GUID whole.
const TableLayout<MessageItem> kMessageLayout{
    kMessageRules, OtherTexts::kUnchecked, &MessageItem::rowId, [](MessageItem& m, const ColumnsSeen&) {
      return (m.deleted == 0 || IsMessageGuid(m.guid)) && CompleteMessageText(m);
    }};

constexpr ColumnRule<HandleRecord> kHandleRules[] = {{"id", 1, A::kText, &HandleRecord::id}};
const TableLayout<HandleRecord> kHandleLayout{
    kHandleRules, OtherTexts::kUnchecked, &HandleRecord::rowId,
    [](HandleRecord& h, const ColumnsSeen&) { return !h.id.empty(); }};

constexpr ColumnRule<AttachmentRecord> kAttachmentRules[] = {{"filename", 4, A::kText, &AttachmentRecord::filename}};
const TableLayout<AttachmentRecord> kAttachmentLayout{
    kAttachmentRules, OtherTexts::kUnchecked,
    &AttachmentRecord::rowId, [](AttachmentRecord& a, const ColumnsSeen&) { return !a.filename.empty(); }};

constexpr ColumnRule<AttachmentLink> kAttachmentLinkRules[] = {
    {"message_id", 0, A::kInteger, nullptr, &AttachmentLink::messageId},
    {"attachment_id", 1, A::kInteger, nullptr, &AttachmentLink::attachmentId},
};
const TableLayout<AttachmentLink> kAttachmentLinkLayout{kAttachmentLinkRules};

constexpr ColumnRule<RecoverableMessageLink> kRecoverableMessageRules[] = {
    {"message_id", 1, A::kInteger, nullptr, &RecoverableMessageLink::messageId},
};
const TableLayout<RecoverableMessageLink> kRecoverableMessageLayout{
    kRecoverableMessageRules, OtherTexts::kUnchecked, nullptr,
    [](RecoverableMessageLink& link, const ColumnsSeen&) { return link.messageId > 0; }};

constexpr ColumnRule<RecoverablePart> kRecoverablePartRules[] = {
    {"message_id", 1, A::kInteger, nullptr, &RecoverablePart::messageId},
    {"part_index", 2, A::kInteger, nullptr, &RecoverablePart::partIndex},
    {"part_text", 4, A::kBlobBytes, &RecoverablePart::text},
};
const TableLayout<RecoverablePart> kRecoverablePartLayout{
    kRecoverablePartRules, OtherTexts::kUnchecked, nullptr,
    [](RecoverablePart& part, const ColumnsSeen&) { return part.messageId > 0 && CompletePartText(part); }};

// ---- AddressBook.sqlitedb ----

bool ComposeContactName(ContactItem& contact, const ColumnsSeen&) {
  contact.name = ComposePersonName({contact.prefix, contact.first, contact.middle, contact.last, contact.suffix});
  return true;
}

constexpr ColumnRule<ContactItem> kContactRules[] = {
    {"First", 1, A::kText, &ContactItem::first},
    {"Last", 2, A::kText, &ContactItem::last},
    {"Middle", 3, A::kText, &ContactItem::middle},
    {"Prefix", 13, A::kText, &ContactItem::prefix},
    {"Suffix", 14, A::kText, &ContactItem::suffix},
    {"Organization", 7, A::kText, &ContactItem::company},
    {"Phone", 16, A::kTextWithoutControls, &ContactItem::phone},
    {"Email", 17, A::kText, &ContactItem::email},
    {"Address", 18, A::kText, &ContactItem::address},
    {"SocialProfile", 19, A::kText, &ContactItem::social},
    {"URL", 20, A::kText, &ContactItem::url},
};
// The search table's column names carry a position prefix ("c15Phone")
// that shifts between versions; the names behind it are looked up.
const TableLayout<ContactItem> kContactLayout{kContactRules,
                                              OtherTexts::kStrict,
                                              &ContactItem::rowId,
                                              ComposeContactName,
                                              sqlite::NameForm::kAfterIndexPrefix};

// ---- call history ----

bool HasAddressAndDate(CallItem& call, const ColumnsSeen&) { return !call.address.empty() && !call.date.empty(); }

constexpr ColumnRule<CallItem> kCallRules[] = {
    {"address", 1, A::kTextWithoutControls, &CallItem::address},
    {"date", 2, A::kUnixDate, &CallItem::date},
    {"duration", 3, A::kInteger, nullptr, &CallItem::duration},
    {"flags", 4, A::kOneWhenBitZeroClear, nullptr, &CallItem::incoming},  // bit 0 set: an outgoing call
};
const TableLayout<CallItem> kCallLayout{kCallRules, OtherTexts::kUnchecked, nullptr, HasAddressAndDate};

constexpr ColumnRule<CallItem> kCallRecordRules[] = {
    {"ZORIGINATED", 8, A::kOneWhenZero, nullptr, &CallItem::incoming},  // 0: an incoming call
    {"ZDATE", 10, A::kAppleDateOrFloat, &CallItem::date},
    {"ZDURATION", 11, A::kIntegerOrFloat, nullptr, &CallItem::duration},
    {"ZADDRESS", 12, A::kTextOrUtf8Blob, &CallItem::address},
};
const TableLayout<CallItem> kCallRecordLayout{kCallRecordRules, OtherTexts::kUnchecked, nullptr, HasAddressAndDate};

// ---- notes.sqlite ----

constexpr ColumnRule<NoteItem> kNoteRules[] = {
    {"ZBODY", 11, A::kInteger, nullptr, &NoteItem::noteKey},
    // A Core Data timestamp: seconds since 2001-01-01 UTC, integer or float.
    {"ZCREATIONDATE", 13, A::kAppleDateOrFloat, &NoteItem::date},
    {"ZTITLE", 14, A::kStrictText, &NoteItem::title},  // a deleted title cut into by later writes fails
};
const TableLayout<NoteItem> kNoteLayout{kNoteRules};

constexpr ColumnRule<NoteItem> kNoteBodyRules[] = {
    {"ZOWNER", 3, A::kInteger, nullptr, &NoteItem::noteKey},
    {"ZCONTENT", 4, A::kText, &NoteItem::content},
};
const TableLayout<NoteItem> kNoteBodyLayout{kNoteBodyRules};

// ---- WhatsApp ChatStorage.sqlite ----

// The columns both message layouts keep. Layout A has up to 28 columns
// (older WhatsApp versions). It links photos and videos through
// ZMEDIAITEM too (WhatsApp 2.8 has it as its 12th column); a media message
// stores no text of its own, so without the link it would have nothing to
// show and be left out.
constexpr ColumnRule<ChatMessageItem> kWhatsAppMessageRules[] = {
    {"ZISFROMME", 12, A::kConstant, nullptr, &ChatMessageItem::fromMe},
    {"ZCHATSESSION", 19, A::kInteger, nullptr, &ChatMessageItem::chatSessionId},
    {"ZGROUPMEMBER", 20, A::kInteger, nullptr, &ChatMessageItem::groupMemberId},
    {"ZMEDIAITEM", 22, A::kInteger, nullptr, &ChatMessageItem::mediaItemId},
    {"ZMESSAGEDATE", 25, A::kAppleDateOrFloat, &ChatMessageItem::date},
    {"ZTEXT", 32, A::kStrictText, &ChatMessageItem::text},
    {"ZMESSAGETYPE", 15, A::kInteger, nullptr, &ChatMessageItem::messageType},
};
const TableLayout<ChatMessageItem> kWhatsAppMessageLayoutA{
    kWhatsAppMessageRules, OtherTexts::kMustConvert,
    &ChatMessageItem::messageId};

// Layout B: more than 28 columns; a record must also name its chat, its
// sender or its date.
const TableLayout<ChatMessageItem> kWhatsAppMessageLayoutB{
    kWhatsAppMessageRules, OtherTexts::kMustConvert,
    &ChatMessageItem::messageId,
    // rules 1, 2 and 4: ZCHATSESSION, ZGROUPMEMBER, ZMESSAGEDATE
    [](ChatMessageItem&, const ColumnsSeen& seen) { return seen[1] || seen[2] || seen[4]; }};

constexpr ColumnRule<ChatSession> kChatSessionRules[] = {
    {"ZCONTACTJID", 20, A::kIdBeforeAt, &ChatSession::contactJid},
    {"ZPARTNERNAME", 23, A::kStrictText, &ChatSession::partnerName},
};
const TableLayout<ChatSession> kChatSessionLayout{kChatSessionRules, OtherTexts::kMustConvert, &ChatSession::sessionId};

constexpr ColumnRule<GroupMember> kGroupMemberRules[] = {
    {"ZCHATSESSION", 7, A::kInteger, nullptr, &GroupMember::chatSessionId},
    {"ZCONTACTNAME", 10, A::kStrictText, &GroupMember::contactName},
    {"ZMEMBERJID", 12, A::kIdCutAtAt, &GroupMember::memberJid},
};
const TableLayout<GroupMember> kGroupMemberLayout{kGroupMemberRules, OtherTexts::kMustConvert, &GroupMember::memberId};

constexpr ColumnRule<MediaItem> kMediaItemRules[] = {{"ZMEDIALOCALPATH", 18, A::kStrictText, &MediaItem::localPath}};
const TableLayout<MediaItem> kMediaItemLayout{kMediaItemRules, OtherTexts::kMustConvert, &MediaItem::mediaId};

// ---- WeChat ----

constexpr ColumnRule<WeChatMessage> kWeChatMessageRules[] = {
    {nullptr, 3, A::kUnixDate, &WeChatMessage::date},
    {nullptr, 4, A::kText, &WeChatMessage::text},
    {nullptr, 8, A::kInverseConstant, nullptr, &WeChatMessage::isSend},  // 0 = sent
};
const TableLayout<WeChatMessage> kWeChatMessageLayout{
    kWeChatMessageRules, OtherTexts::kUnchecked,
    &WeChatMessage::rowId, [](WeChatMessage& m, const ColumnsSeen&) { return !m.text.empty(); }};

constexpr ColumnRule<WeChatFriend> kWeChatFriendRules[] = {
    {nullptr, 1, A::kText, &WeChatFriend::userName},
    {nullptr, 2, A::kText, &WeChatFriend::nickName},
    {nullptr, 6, A::kInteger, nullptr, &WeChatFriend::type},
};
const TableLayout<WeChatFriend> kWeChatFriendLayout{kWeChatFriendRules};

// ---- QQ ----

constexpr ColumnRule<QQChatTable> kQQChatTableRules[] = {{nullptr, 0, A::kText, &QQChatTable::tableName}};
const TableLayout<QQChatTable> kQQChatTableLayout{
    kQQChatTableRules, OtherTexts::kUnchecked, nullptr,
    [](QQChatTable& t, const ColumnsSeen&) {
      const std::size_t underscore = t.tableName.rfind('_');
      t.peer = underscore == std::string::npos ? std::string() : t.tableName.substr(underscore + 1);
      return true;
    }};

constexpr ColumnRule<QQMessage> kQQMessageRules[] = {
    {nullptr, 1, A::kPeerFilter},
    {nullptr, 2, A::kUnixDate, &QQMessage::date},
    {nullptr, 4, A::kInverseConstant, nullptr, &QQMessage::isSend},  // 0 = sent
    {nullptr, 6, A::kText, &QQMessage::content},
};
const TableLayout<QQMessage> kQQMessageLayout{
    kQQMessageRules, OtherTexts::kUnchecked, &QQMessage::rowId,
    [](QQMessage& m, const ColumnsSeen&) { return !m.content.empty(); }};

}  // namespace

std::error_code DecodeMessages(sqlite::DatabaseRecovery& recovery, std::vector<MessageItem>* out) {
  return DecodeTableInto(recovery, "message", kMessageLayout, out);
}

std::error_code ForEachMessage(sqlite::DatabaseRecovery& recovery, const std::function<void(MessageItem&&)>& sink) {
  return DecodeTable<MessageItem>(recovery, "message", kMessageLayout, sink);
}

std::error_code DecodeHandles(sqlite::DatabaseRecovery& recovery, std::vector<HandleRecord>* out) {
  return DecodeTableInto(recovery, "handle", kHandleLayout, out);
}

std::error_code DecodeAttachments(sqlite::DatabaseRecovery& recovery, std::vector<AttachmentRecord>* out) {
  return DecodeTableInto(recovery, "attachment", kAttachmentLayout, out);
}

std::error_code DecodeAttachmentLinks(sqlite::DatabaseRecovery& recovery, std::vector<AttachmentLink>* out) {
  return DecodeTableInto(recovery, "message_attachment_join", kAttachmentLinkLayout, out);
}

std::error_code DecodeRecoverableMessages(sqlite::DatabaseRecovery& recovery, std::vector<RecoverableMessageLink>* out) {
  return DecodeTableInto(recovery, "chat_recoverable_message_join", kRecoverableMessageLayout, out);
}

std::error_code DecodeRecoverableParts(sqlite::DatabaseRecovery& recovery, std::vector<RecoverablePart>* out) {
  return DecodeTableInto(recovery, "recoverable_message_part", kRecoverablePartLayout, out);
}

std::error_code DecodeContacts(sqlite::DatabaseRecovery& recovery, std::vector<ContactItem>* out) {
  return DecodeTableInto(recovery, "ABPersonFullTextSearch_content", kContactLayout, out);
}

std::error_code DecodeCalls(sqlite::DatabaseRecovery& recovery, std::string_view table, CallRecordLayout layout,
                            std::vector<CallItem>* out) {
  return DecodeTableInto(recovery, table, layout == CallRecordLayout::kCallHistoryDb ? kCallLayout : kCallRecordLayout, out);
}

std::error_code DecodeNotes(sqlite::DatabaseRecovery& recovery, std::vector<NoteItem>* out) { return DecodeTableInto(recovery, "ZNOTE", kNoteLayout, out); }

std::error_code DecodeNoteBodies(sqlite::DatabaseRecovery& recovery, std::vector<NoteItem>* out) {
  return DecodeTableInto(recovery, "ZNOTEBODY", kNoteBodyLayout, out);
}

std::error_code DecodeWhatsAppMessages(sqlite::DatabaseRecovery& recovery, int messageColumns,
                                       std::vector<ChatMessageItem>* out) {
  const bool layoutA = messageColumns <= 28;
  return DecodeTableInto(recovery, "ZWAMESSAGE", layoutA ? kWhatsAppMessageLayoutA : kWhatsAppMessageLayoutB, out);
}

std::error_code DecodeChatSessions(sqlite::DatabaseRecovery& recovery, std::vector<ChatSession>* out) {
  return DecodeTableInto(recovery, "ZWACHATSESSION", kChatSessionLayout, out);
}

std::error_code DecodeGroupMembers(sqlite::DatabaseRecovery& recovery, std::vector<GroupMember>* out) {
  return DecodeTableInto(recovery, "ZWAGROUPMEMBER", kGroupMemberLayout, out);
}

std::error_code DecodeMediaItems(sqlite::DatabaseRecovery& recovery, std::vector<MediaItem>* out) {
  return DecodeTableInto(recovery, "ZWAMEDIAITEM", kMediaItemLayout, out);
}

std::error_code DecodeWeChatMessages(sqlite::DatabaseRecovery& recovery, std::string_view table, std::vector<WeChatMessage>* out) {
  return DecodeTableInto(recovery, table, kWeChatMessageLayout, out);
}

std::error_code DecodeWeChatFriends(sqlite::DatabaseRecovery& recovery, std::vector<WeChatFriend>* out) {
  return DecodeTableInto(recovery, "Friend", kWeChatFriendLayout, out);
}

std::error_code DecodeQQChatTables(sqlite::DatabaseRecovery& recovery, std::vector<QQChatTable>* out) {
  return DecodeTableInto(recovery, "tb_c2cTables", kQQChatTableLayout, out);
}

std::error_code DecodeQQMessages(sqlite::DatabaseRecovery& recovery, std::string_view table, std::string_view peerFilter,
                                 std::vector<QQMessage>* out) {
  return DecodeTableInto(recovery, table, kQQMessageLayout, out, peerFilter);
}

}  // namespace scrivel::apps
