#include "core/apps/call_history.h"

#include <cstddef>

#include "core/common/format.h"
#include "core/common/result_codes.h"
#include "core/common/utf8.h"
#include "core/apps/assembly_order.h"
#include "core/apps/assembly_table_columns.h"
#include "core/apps/contacts_name_lookup.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"

namespace scrivel::apps {

namespace {

constexpr std::size_t kShortestNamedAddress = 5;  // UTF-16 code units

constexpr const char* kCoreDataCallTable = "ZCALLRECORD";  // CallHistory.storedata
constexpr const char* kLegacyCallTable = "call";           // call_history.db

}  // namespace

void NameCalls(std::vector<CallItem>& calls, const std::vector<ContactItem>& contacts) {
  ContactNameLookup names(contacts);
  for (CallItem& call : calls) {
    if (Utf16Length(call.address) < kShortestNamedAddress) {
      call.name.clear();
      continue;
    }
    call.name = names.NameFor(call.address);
  }
}

std::error_code ParseCallHistory(std::vector<CallItem>* calls, const std::string& callDbPath,
                                 const std::string& addressBookPath, std::error_code* addressBookResult) {
  sqlite::DatabaseRecovery callHistory;
  if (const std::error_code rc = callHistory.Open(callDbPath); rc) return rc;
  // CallHistory.storedata has "ZCALLRECORD"; a file without it is the older
  // call_history.db.
  int columns = 0;
  const bool coreData = !CountTableColumns(callHistory, kCoreDataCallTable, &columns);
  // A table that cannot be read completely still gives what was read.
  (void)DecodeCalls(callHistory, coreData ? kCoreDataCallTable : kLegacyCallTable,
                    coreData ? CallRecordLayout::kStoreData : CallRecordLayout::kCallHistoryDb, calls);

  // Names are a nicety: without a readable address book the calls come out
  // unnamed.
  sqlite::DatabaseRecovery addressBook;
  const std::error_code opened = addressBook.Open(addressBookPath);
  if (addressBookResult != nullptr) *addressBookResult = opened;
  std::vector<ContactItem> contacts;
  if (!opened) (void)DecodeContacts(addressBook, &contacts);
  NameCalls(*calls, contacts);
  SortByDateText(*calls);
  return {};
}

const char* CallTypeText(const CallItem& call) { return call.incoming == 1 ? "Incoming" : "Outgoing"; }

std::string CallDurationText(const CallItem& call) {
  if (call.duration != 0) return FormatDuration(call.duration);
  return call.incoming == 1 ? "Missed" : "Canceled";
}

}  // namespace scrivel::apps
