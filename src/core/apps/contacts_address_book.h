// The people of the address book's main tables, where a file has them:
// "ABPerson" (one row per person: name parts, organization) and
// "ABMultiValue" (one row per phone number, e-mail address, postal address
// or URL of a person), with the labels of "ABMultiValueLabel" and the
// parts of postal addresses in "ABMultiValueEntry" / "ABMultiValueEntryKey".
//
//   ABMultiValue: UID, record_id (ABPerson ROWID), property, identifier,
//                 label (ABMultiValueLabel rowid), value, guid
//   property      3 phone number as typed, 4 e-mail address,
//                 5 postal address (value NULL; parts in ABMultiValueEntry:
//                   parent_id = UID, key = ABMultiValueEntryKey rowid
//                   named Street, City, State, ZIP, Country, CountryCode),
//                 22 URL
//   label         built-in labels read "_$!<Mobile>!$_"; others are the
//                 person's own text. Their rowids differ between files,
//                 so they are read by value.
#pragma once

#include <system_error>

#include <string>
#include <string_view>
#include <vector>

#include "core/sqlite/database_recovery.h"
#include "core/apps/table_records.h"

namespace scrivel::apps {

// The label a person sees: "_$!<Mobile>!$_" -> "mobile", "_$!<HomePage>!$_"
// -> "homepage"; a label of the person's own stays as it is.
std::string ShownLabel(std::string_view storedLabel);

// Appends to `*people` the live persons of "ABPerson", each with its
// numbers, addresses and URLs, and the deleted person rows rebuilt from the
// table's free space that still hold a name or an organization (without
// values: the rows of "ABMultiValue" point at the person's lost row id).
// A file without "ABPerson" gives nothing. Returns success, or the code of
// the last table that could not be read completely (what was read stays).
[[nodiscard]] std::error_code ReadAddressBookPeople(sqlite::DatabaseRecovery& addressBook, std::vector<ContactItem>* people);

}  // namespace scrivel::apps
