#include "core/apps/contacts.h"

#include <set>
#include <unordered_map>
#include <utility>

#include "core/common/result_codes.h"
#include "core/apps/assembly_order.h"
#include "core/apps/contacts_address_book.h"
#include "core/apps/contacts_phone.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"

namespace scrivel::apps {

namespace {

// A deleted record rebuilt from free space is worth listing only when it
// still holds some text of the person.
bool HoldsAnyText(const ContactItem& contact) {
  return !contact.name.empty() || !contact.company.empty() || !contact.phone.empty() || !contact.email.empty() ||
         !contact.address.empty() || !contact.social.empty() || !contact.url.empty();
}

void FillWhenEmpty(std::string& field, const std::string& from) {
  if (field.empty()) field = from;
}

using NameAndOrganization = std::pair<std::string, std::string>;

}  // namespace

std::vector<ContactItem> MergeContactSources(std::vector<ContactItem> searchRows, std::vector<ContactItem> people) {
  std::unordered_map<std::int32_t, const ContactItem*> searchRowById;
  for (ContactItem& row : searchRows) {
    row.phone = ReducePhoneText(row.phone);
    if (row.deleted == 0) searchRowById.emplace(row.rowId, &row);
  }

  std::vector<ContactItem> merged;
  std::set<std::int32_t> replacedRows;
  for (ContactItem& person : people) {
    if (person.deleted != 0) continue;
    if (const auto row = searchRowById.find(person.rowId); row != searchRowById.end()) {
      const ContactItem& search = *row->second;
      FillWhenEmpty(person.phone, search.phone);
      FillWhenEmpty(person.email, search.email);
      FillWhenEmpty(person.address, search.address);
      FillWhenEmpty(person.social, search.social);
      FillWhenEmpty(person.url, search.url);
      FillWhenEmpty(person.company, search.company);
      replacedRows.insert(person.rowId);
    }
    merged.push_back(std::move(person));
  }
  for (ContactItem& row : searchRows)
    if (row.deleted != 0 || replacedRows.count(row.rowId) == 0) merged.push_back(std::move(row));

  std::set<NameAndOrganization> listed;
  for (const ContactItem& contact : merged) listed.emplace(contact.name, contact.company);
  for (ContactItem& person : people) {
    if (person.deleted == 0 || !listed.emplace(person.name, person.company).second) continue;
    merged.push_back(std::move(person));
  }
  return merged;
}

void PrepareContactList(std::vector<ContactItem>& contacts) {
  std::vector<ContactItem> listed;
  listed.reserve(contacts.size());
  for (ContactItem& contact : contacts) {
    // A live row is a person in the address book and is always listed, also
    // one saved with an e-mail address only and no phone number.
    if (contact.deleted != 0 && !HoldsAnyText(contact)) continue;
    if (contact.name.empty()) contact.name = contact.company.empty() ? kNoContactName : contact.company;
    listed.push_back(std::move(contact));
  }
  contacts = std::move(listed);
  SortByNameText(contacts);
}

std::error_code ParseContacts(const std::string& addressBookPath, std::vector<ContactItem>* contacts,
                              std::uint64_t* highestRowId) {
  sqlite::DatabaseRecovery addressBook;
  const std::error_code rc = addressBook.Open(addressBookPath);
  *highestRowId = 0;
  if (!rc) {
    std::vector<ContactItem> searchRows, people;
    (void)DecodeContacts(addressBook, &searchRows);
    *highestRowId = HighestLiveRowId(searchRows);
    (void)ReadAddressBookPeople(addressBook, &people);
    for (ContactItem& contact : MergeContactSources(std::move(searchRows), std::move(people)))
      contacts->push_back(std::move(contact));
  }
  PrepareContactList(*contacts);
  return rc;
}

}  // namespace scrivel::apps
