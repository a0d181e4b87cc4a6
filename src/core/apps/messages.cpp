#include "core/apps/messages.h"

#include <string>
#include <unordered_map>
#include <utility>

#include "core/common/result_codes.h"
#include "core/apps/assembly_index.h"
#include "core/apps/assembly_order.h"
#include "core/apps/contacts_name_lookup.h"
#include "core/apps/message_reactions.h"
#include "core/apps/messages_recently_deleted.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"

namespace scrivel::apps {

namespace {

// Reports the steps of ParseMessages: base + range/5 after the first
// table, then /4, /3, /2 and /1. The divisor only moves on when a report
// was made.
class ProgressSteps {
 public:
  explicit ProgressSteps(const ProgressShare& share) : m_share(share) {}

  // The callback's answer (empty = go on); empty without a callback.
  [[nodiscard]] std::error_code ReportStep() {
    if (!m_share.callback) return {};
    const std::error_code answer = m_share.callback(m_share.userData, m_share.base + m_share.range / m_divisor);
    if (m_divisor > 1) --m_divisor;
    return answer;
  }

  [[nodiscard]] std::error_code ReportEnd() const {
    return m_share.callback ? m_share.callback(m_share.userData, m_share.base + m_share.range) : std::error_code{};
  }

 private:
  const ProgressShare& m_share;
  int m_divisor = 5;
};

// The decoded tables of sms.db that the messages are joined with.
struct MessageTables {
  std::vector<MessageItem> messages;
  std::vector<HandleRecord> handles;
  std::vector<AttachmentRecord> attachments;
  std::vector<AttachmentLink> links;
  std::vector<RecoverableMessageLink> recoverableMessages;  // iOS 16 and later
  std::vector<RecoverablePart> recoverableParts;            // iOS 16 and later
};

// A table that cannot be read completely still gives what was read.
void ReadMessageTables(sqlite::DatabaseRecovery& sms, MessageTables* tables) {
  (void)DecodeMessages(sms, &tables->messages);
  (void)DecodeHandles(sms, &tables->handles);
  (void)DecodeAttachments(sms, &tables->attachments);
  (void)DecodeAttachmentLinks(sms, &tables->links);
  // Older layouts have no such tables; nothing is added then.
  (void)DecodeRecoverableMessages(sms, &tables->recoverableMessages);
  (void)DecodeRecoverableParts(sms, &tables->recoverableParts);
}

constexpr int kSmsSteps = 4;           // reports after the four sms.db tables
constexpr int kAddressBookSteps = 5;   // and one after the address book

}  // namespace

void LinkAttachments(std::vector<AttachmentRecord>& attachments, const std::vector<AttachmentLink>& links) {
  const auto linkByAttachment = FirstByKey(links, &AttachmentLink::attachmentId);
  for (AttachmentRecord& attachment : attachments) {
    // A record rebuilt from free space has lost its ROWID (0): a link
    // naming attachment 0 would be as lost, and pairing the two would give
    // a live message a stranger's attachment.
    if (attachment.rowId == 0) continue;
    if (const AttachmentLink* link = FindFirst(linkByAttachment, attachment.rowId)) attachment.messageId = link->messageId;
  }
}

void CompleteMessages(std::vector<MessageItem>& messages, const std::vector<HandleRecord>& handles,
                      const std::vector<AttachmentRecord>& attachments, const std::vector<ContactItem>& contacts) {
  // Row id 0 names nothing: a handle or an attachment link rebuilt from
  // free space without its number.
  auto handleByRowId = FirstByKey(handles, &HandleRecord::rowId);
  handleByRowId.erase(0);
  auto attachmentByMessage = FirstByKey(attachments, &AttachmentRecord::messageId);
  attachmentByMessage.erase(0);
  ContactNameLookup names(contacts);
  // A partner's name is looked up once, at its first message.
  std::unordered_map<const HandleRecord*, const std::string*> nameByHandle;
  nameByHandle.reserve(handleByRowId.size());

  for (MessageItem& message : messages) {
    if (const HandleRecord* handle = FindFirst(handleByRowId, message.handleId)) {
      message.address = handle->id;
      const auto [named, added] = nameByHandle.try_emplace(handle, nullptr);
      if (added && !handle->id.empty()) named->second = &names.NameFor(handle->id);
      if (named->second) message.name = *named->second;
    } else if (!message.address.empty()) {
      message.name = names.NameFor(message.address);
    }
    if (const AttachmentRecord* attachment = FindFirst(attachmentByMessage, message.rowId))
      message.attachment = attachment->filename;
  }
}

void GroupMessagesByHandle(std::vector<MessageItem> messages, MessagesByHandle* byHandle) {
  GroupInTextOrder(std::move(messages), &MessageItem::handleId, &MessageItem::date, byHandle);
}

MessagesReading ReadMessages(const std::string& addressBookPath, const std::string& smsPath) {
  MessagesReading reading;
  sqlite::DatabaseRecovery sms;
  if (reading.openResult = sms.Open(smsPath); reading.openResult) return reading;
  MessageTables tables;
  ReadMessageTables(sms, &tables);
  reading.highestRowId = HighestLiveRowId(tables.messages);
  reading.stepsRead = kSmsSteps;
  LinkAttachments(tables.attachments, tables.links);

  // Names are a nicety: messages come out without them when the address
  // book cannot be read.
  std::vector<ContactItem> contacts;
  sqlite::DatabaseRecovery addressBook;
  reading.addressBookResult = addressBook.Open(addressBookPath);
  if (!reading.addressBookResult) (void)DecodeContacts(addressBook, &contacts);
  reading.stepsRead = kAddressBookSteps;

  MarkRecentlyDeleted(tables.messages, tables.recoverableMessages, tables.recoverableParts);
  CompleteMessages(tables.messages, tables.handles, tables.attachments, contacts);
  AttachReactions(tables.messages);
  GroupMessagesByHandle(std::move(tables.messages), &reading.byHandle);
  return reading;
}

std::error_code DeliverMessages(MessagesReading reading, MessagesByHandle* byHandle, const ProgressShare& progress,
                    std::uint64_t* highestRowId) {
  ProgressSteps steps(progress);
  std::error_code carried = reading.openResult;
  for (int step = 0; step < reading.stepsRead; ++step) {
    if (const std::error_code answer = steps.ReportStep(); answer) {
      carried = answer;
      break;
    }
    if (step == 0) *highestRowId = reading.highestRowId;
    if (step + 1 == kAddressBookSteps) AppendGroups(std::move(reading.byHandle), byHandle);
  }
  // A stop asked for at the final report wins; otherwise a failure (or an
  // earlier stop) is not turned into success by the report.
  const std::error_code answer = steps.ReportEnd();
  return answer ? answer : carried;
}

std::error_code ParseMessages(const std::string& addressBookPath, MessagesByHandle* byHandle, const ProgressShare& progress,
                  const std::string& smsPath, std::uint64_t* highestRowId) {
  return DeliverMessages(ReadMessages(addressBookPath, smsPath), byHandle, progress, highestRowId);
}

}  // namespace scrivel::apps
