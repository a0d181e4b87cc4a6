#include "core/apps/call_history.h"

#include <cstddef>

#include "core/common/format.h"
#include "core/common/result_codes.h"
#include "core/common/utf8.h"
#include "core/apps/assembly_order.h"
#include "core/apps/assembly_table_columns.h"
#include "core/apps/contacts_name_lookup.h"
#include "core/sqlite/sqlite_reader.h"
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
  sqlite::SqliteReader reader;
  if (const std::error_code rc = reader.Open(callDbPath); rc) return rc;
  // CallHistory.storedata has "ZCALLRECORD"; a file without it is the older
  // call_history.db.
  int columns = 0;
  const std::error_code probed = CountTableColumns(reader, kCoreDataCallTable, &columns);
  if (probed && probed != kQueryError) return probed;
  const bool coreData = !probed;
  reader.state.callRecordLayout = coreData ? 1 : 0;
  // A table that cannot be read completely still gives what was read.
  (void)DecodeCalls(reader, coreData ? kCoreDataCallTable : kLegacyCallTable, calls);

  // Names are a nicety: without a readable address book the calls come out
  // unnamed.
  const std::error_code opened = reader.Open(addressBookPath);
  if (addressBookResult != nullptr) *addressBookResult = opened;
  std::vector<ContactItem> contacts;
  if (!opened) (void)DecodeContacts(reader, &contacts);
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
