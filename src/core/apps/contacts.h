// The contact list, live and deleted contacts alike. Two sources feed it:
//  - the address book's full-text search table
//    "ABPersonFullTextSearch_content", one row per person with every field
//    flattened to text, phone numbers in several forms (contacts_phone.h);
//    its free space keeps deleted people;
//  - where the file has them, the main tables "ABPerson" and
//    "ABMultiValue" (contacts_address_book.h), which carry what the phone
//    shows: numbers as typed with their labels, e-mail addresses, postal
//    addresses, URLs and organizations.
// A live person of "ABPerson" stands for its search row (docid = ROWID),
// so nobody is listed twice. The raw rows of the search table go to
// "Contacts.csv" (contacts_dump.h).
#pragma once

#include <system_error>

#include <cstdint>
#include <string>
#include <vector>

#include "core/apps/table_records.h"

namespace scrivel::apps {

// Shown for a contact that has neither a name nor an organization.
inline constexpr const char* kNoContactName = "No Name";

// Decodes the contacts of `addressBookPath`, appending them to `*contacts`,
// then turns the whole vector into the contact list (PrepareContactList).
// `*highestRowId` becomes the highest row id of the live search rows
// decoded (0 when the file did not open). Returns success, or the code of
// opening the file; even then the vector's earlier content is prepared.
[[nodiscard]] std::error_code ParseContacts(const std::string& addressBookPath, std::vector<ContactItem>* contacts,
                                            std::uint64_t* highestRowId);

// One contact per person from the decoded search rows and the people of
// the main tables (ReadAddressBookPeople):
//  - each search row's phone text is reduced to its numbers (ReducePhoneText);
//  - a live person takes the place of the live search row with its ROWID,
//    and takes from it the fields it has no value for;
//  - the other search rows stay, live and deleted;
//  - a deleted person is added only when no contact listed so far has its
//    name and organization (its search row came back too, or it is an
//    older version of a live person).
std::vector<ContactItem> MergeContactSources(std::vector<ContactItem> searchRows, std::vector<ContactItem> people);

// Keeps every live contact, with or without a phone number, and every
// deleted one that holds any text; names the nameless ones after their
// organization, or kNoContactName without one, and sorts the list by name,
// letter case ignored (stable: equal names keep decoder order).
void PrepareContactList(std::vector<ContactItem>& contacts);

}  // namespace scrivel::apps
