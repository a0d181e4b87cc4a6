// The contact list, live and deleted contacts alike, from the address
// book's full-text search table "ABPersonFullTextSearch_content", which
// holds one row per person with every field already flattened to text.
// The raw rows of the same table go to "Contacts.csv" (contacts_dump.h).
#pragma once

#include <system_error>

#include <cstdint>
#include <string>
#include <vector>

#include "core/sqlite_recovery/table_records.h"

namespace scrivel::sqlite_recovery {

// Shown for a contact that has neither a first nor a last name.
inline constexpr const char* kNoContactName = "No Name";

// Decodes the contacts of `addressBookPath`, appending them to `*contacts`,
// then turns the whole vector into the contact list (PrepareContactList).
// `*highestRowId` becomes the highest row id of the live rows decoded (0
// when the file did not open). Returns success, or the code of opening the
// file; even then the vector's earlier content is prepared.
[[nodiscard]] std::error_code ParseContacts(const std::string& addressBookPath, std::vector<ContactItem>* contacts,
                                std::uint64_t* highestRowId);

// Keeps every live contact, with or without a phone text, and every
// deleted one that holds any text; names the nameless ones kNoContactName,
// reduces each phone text to its distinct numbers (ReducePhoneText) and
// sorts the list by name, letter case ignored (stable: equal names keep
// decoder order).
void PrepareContactList(std::vector<ContactItem>& contacts);

}  // namespace scrivel::sqlite_recovery
