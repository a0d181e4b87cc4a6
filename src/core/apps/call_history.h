// The call log, live and deleted entries alike, from CallHistory.storedata
// (table "ZCALLRECORD", iOS 8 and later) or call_history.db (table "call",
// earlier systems), named from the address book and ordered by date. The
// records are read by the table decoders (table_decoders.h); the SQLite
// library only tells which of the two tables the file has.
#pragma once

#include <system_error>

#include <string>
#include <vector>

#include "core/apps/table_records.h"

namespace scrivel::apps {

// Reads the calls of `callDbPath` and appends them to `*calls`, names them
// from `addressBookPath` (NameCalls) and sorts the whole list by date.
// Returns success; the page reader's code when it rejects the call
// database (nothing read). An address book that cannot be read leaves the
// calls unnamed; its code goes to *addressBookResult when given. A table
// that cannot be read completely gives what was read.
[[nodiscard]] std::error_code ParseCallHistory(std::vector<CallItem>* calls, const std::string& callDbPath,
                                              const std::string& addressBookPath,
                                              std::error_code* addressBookResult = nullptr);

// Sets each call's name to that of the first contact (in decoder order)
// whose raw phone text contains the call's address, or clears it. An
// address shorter than 5 characters (UTF-16 code units) never gets a name:
// short numbers (voicemail, service codes) would match parts of unrelated
// numbers.
void NameCalls(std::vector<CallItem>& calls, const std::vector<ContactItem>& contacts);

// The type column of a call: "Incoming" or "Outgoing".
const char* CallTypeText(const CallItem& call);

// The duration column of a call: FormatDuration of its duration, or for a
// call that was not connected "Missed" (incoming) or "Canceled" (outgoing).
std::string CallDurationText(const CallItem& call);

}  // namespace scrivel::apps
