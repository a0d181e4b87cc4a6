// The messages of sms.db (SMS, MMS, iMessage), live and deleted, each with
// its partner's number or address, the partner's contact name and the file
// name of its first attachment. Four tables of sms.db ("message",
// "handle", "attachment", "message_attachment_join") and the address
// book's search table are read through the table decoders
// (table_decoders.h) and joined here. On iOS 16 and later the "Recently
// Deleted" tables mark messages as deleted (messages_recently_deleted.h);
// reactions are attached to the messages they react to
// (message_reactions.h). Messages are grouped by partner, so a database
// without chat tables gives the same result. The raw rows of "message" go
// to "sms.csv" (messages_dump.h).
#pragma once

#include <system_error>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/common/progress.h"
#include "core/apps/table_records.h"

namespace scrivel::apps {

// The part of an overall progress bar that one operation fills.
struct ProgressShare {
  ProgressCallback callback = nullptr;  // may be null: nothing is reported
  void* userData = nullptr;
  int base = 0;   // percent at the start of the share
  int range = 0;  // percent the share covers
};

// Messages grouped by conversation partner: "handle" ROWID -> messages in
// ascending date order. Deleted messages whose partner was lost gather
// under 0.
using MessagesByHandle = std::map<std::int32_t, std::vector<MessageItem>>;

// Reads the messages of `smsPath`, names them from `addressBookPath` and
// adds them to `*byHandle` (existing entries are extended). Progress goes
// to base + range/5, /4, /3 and /2 after the four sms.db tables, then to
// base + range after the address book and once more at the end; a non-zero
// return of the callback skips the remaining reports (the final report is
// still made) and adds nothing. Both files are read in full before the
// first report. `*highestRowId` becomes the highest ROWID among the message
// cells decoded (0 when there were none) once "message" has been read.
//
// Returns success; the code of opening sms.db (then no message is added); or
// the callback's answer that asked to stop, the final report's taking
// precedence. An address book that cannot be opened leaves the messages
// without names; they still come out.
[[nodiscard]] std::error_code ParseMessages(const std::string& addressBookPath, MessagesByHandle* byHandle,
                                const ProgressShare& progress, const std::string& smsPath,
                                std::uint64_t* highestRowId);

// ParseMessages in two halves, so that the reading can run on a worker
// thread while the progress reports stay on the caller's: ReadMessages
// reads and joins everything without reporting; DeliverMessages then makes
// the reports ParseMessages makes, in the same order, and hands out the
// messages when no report asked to stop (the same result as ParseMessages
// on the same files).
struct MessagesReading {
  std::error_code openResult;         // success, or the code of opening sms.db
  std::error_code addressBookResult;  // success, or the code of opening the address book (no names then)
  int stepsRead = 0;                  // 0 when sms.db did not open, 4 after its tables, 5 after the address book
  std::uint64_t highestRowId = 0;     // as ParseMessages sets it, once sms.db was read
  MessagesByHandle byHandle;          // filled when sms.db opened
};
MessagesReading ReadMessages(const std::string& addressBookPath, const std::string& smsPath);
[[nodiscard]] std::error_code DeliverMessages(MessagesReading reading, MessagesByHandle* byHandle, const ProgressShare& progress,
                                  std::uint64_t* highestRowId);

// Gives each attachment the message of the first link (in list order) that
// names it; attachments without a link, and those rebuilt from free space
// without their ROWID (rowId 0), keep messageId 0.
void LinkAttachments(std::vector<AttachmentRecord>& attachments, const std::vector<AttachmentLink>& links);

// Completes each message, with the first match in list order each time:
//  - address: the id of the first handle whose non-zero rowId equals the
//    message's handleId;
//  - name: when the address is not empty, the name of the first contact
//    whose raw phone text contains it (ContactNameLookup);
//  - attachment: the filename of the first attachment whose non-zero
//    messageId equals the message's rowId (so a deleted message, rowId 0,
//    gets none).
void CompleteMessages(std::vector<MessageItem>& messages, const std::vector<HandleRecord>& handles,
                      const std::vector<AttachmentRecord>& attachments, const std::vector<ContactItem>& contacts);

// Sorts `messages` by date (stable: equal dates keep decoder order) and
// appends each to the entry of its handleId.
void GroupMessagesByHandle(std::vector<MessageItem> messages, MessagesByHandle* byHandle);

}  // namespace scrivel::apps
