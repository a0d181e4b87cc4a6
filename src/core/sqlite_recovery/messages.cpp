#include "core/sqlite_recovery/messages.h"

#include <utility>

#include "core/common/result_codes.h"
#include "core/sqlite_recovery/assembly_index.h"
#include "core/sqlite_recovery/assembly_order.h"
#include "core/sqlite_recovery/contacts_name_lookup.h"
#include "core/sqlite_recovery/sqlite_reader.h"
#include "core/sqlite_recovery/table_decoders.h"

namespace scrivel::sqlite_recovery {

namespace {

// Reports the steps of ParseMessages: base + range/5 after the first
// table, then /4, /3, /2 and /1. The divisor only moves on when a report
// was made.
class ProgressSteps {
 public:
  explicit ProgressSteps(const ProgressShare& share) : m_share(share) {}

  // The callback's answer (0 = go on); 0 without a callback.
  int ReportStep() {
    if (!m_share.callback) return 0;
    const int answer = m_share.callback(m_share.userData, m_share.base + m_share.range / m_divisor);
    if (m_divisor > 1) --m_divisor;
    return answer;
  }

  int ReportEnd() const {
    return m_share.callback ? m_share.callback(m_share.userData, m_share.base + m_share.range) : 0;
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
};

// Reads the four sms.db tables, reporting after each. Returns 0, or the
// callback's non-zero answer (the tables read so far stay).
int ReadMessageTables(SqliteReader& reader, ProgressSteps& progress, MessageTables* tables,
                      std::uint64_t* highestRowId) {
  // A table that cannot be read completely still gives what was read.
  (void)DecodeMessages(reader, &tables->messages);
  if (const int answer = progress.ReportStep(); answer != 0) return answer;
  *highestRowId = reader.state.maxMessageRowId;
  (void)DecodeHandles(reader, &tables->handles);
  if (const int answer = progress.ReportStep(); answer != 0) return answer;
  (void)DecodeAttachments(reader, &tables->attachments);
  if (const int answer = progress.ReportStep(); answer != 0) return answer;
  (void)DecodeAttachmentLinks(reader, &tables->links);
  return progress.ReportStep();
}

// Everything between opening sms.db and the final report. Returns the
// code carried to the end: kOk, an open failure or a callback's answer.
int ReadAndGroup(const std::string& addressBookPath, MessagesByHandle* byHandle, ProgressSteps& progress,
                 const std::string& smsPath, std::uint64_t* highestRowId) {
  SqliteReader reader;
  if (const int rc = reader.Open(smsPath); rc != kOk) return rc;
  MessageTables tables;
  if (const int answer = ReadMessageTables(reader, progress, &tables, highestRowId); answer != 0) return answer;
  LinkAttachments(tables.attachments, tables.links);

  if (const int rc = reader.Open(addressBookPath); rc != kOk) return rc;
  std::vector<ContactItem> contacts;
  (void)DecodeContacts(reader, &contacts);
  if (const int answer = progress.ReportStep(); answer != 0) return answer;

  CompleteMessages(tables.messages, tables.handles, tables.attachments, contacts);
  GroupMessagesByHandle(std::move(tables.messages), byHandle);
  return kOk;
}

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

  for (MessageItem& message : messages) {
    if (const HandleRecord* handle = FindFirst(handleByRowId, message.handleId)) message.address = handle->id;
    if (!message.address.empty()) message.name = names.NameFor(message.address);
    if (const AttachmentRecord* attachment = FindFirst(attachmentByMessage, message.rowId))
      message.attachment = attachment->filename;
  }
}

void GroupMessagesByHandle(std::vector<MessageItem> messages, MessagesByHandle* byHandle) {
  SortByDateText(messages);
  for (MessageItem& message : messages) (*byHandle)[message.handleId].push_back(std::move(message));
}

int ParseMessages(const std::string& addressBookPath, MessagesByHandle* byHandle, const ProgressShare& progress,
                  const std::string& smsPath, std::uint64_t* highestRowId) {
  ProgressSteps steps(progress);
  const int carried = ReadAndGroup(addressBookPath, byHandle, steps, smsPath, highestRowId);
  // A stop asked for at the final report wins; otherwise a failure (or an
  // earlier stop) is not turned into success by the report.
  const int answer = steps.ReportEnd();
  return answer != 0 ? answer : carried;
}

}  // namespace scrivel::sqlite_recovery
