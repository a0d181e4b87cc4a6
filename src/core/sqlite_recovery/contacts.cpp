#include "core/sqlite_recovery/contacts.h"

#include <utility>

#include "core/common/result_codes.h"
#include "core/sqlite_recovery/assembly_order.h"
#include "core/sqlite_recovery/contacts_phone.h"
#include "core/sqlite_recovery/sqlite_reader.h"
#include "core/sqlite_recovery/table_decoders.h"

namespace scrivel::sqlite_recovery {

namespace {

// A deleted record rebuilt from free space is worth listing only when it
// still holds some text of the person.
bool HoldsAnyText(const ContactItem& contact) {
  return !contact.name.empty() || !contact.company.empty() || !contact.phone.empty() || !contact.email.empty() ||
         !contact.address.empty() || !contact.social.empty() || !contact.url.empty();
}

}  // namespace

void PrepareContactList(std::vector<ContactItem>& contacts) {
  std::vector<ContactItem> listed;
  listed.reserve(contacts.size());
  for (ContactItem& contact : contacts) {
    // A live row is a person in the address book and is always listed, also
    // one saved with an e-mail address only and no phone number. The text
    // test comes before the phone reduction: a phone text made only of short
    // forms reduces to nothing, and the contact is still listed.
    if (contact.deleted != 0 && !HoldsAnyText(contact)) continue;
    if (contact.name.empty()) contact.name = kNoContactName;
    contact.phone = ReducePhoneText(contact.phone);
    listed.push_back(std::move(contact));
  }
  contacts = std::move(listed);
  SortByNameText(contacts);
}

std::error_code ParseContacts(const std::string& addressBookPath, std::vector<ContactItem>* contacts,
                  std::uint64_t* highestRowId) {
  SqliteReader reader;
  const std::error_code rc = reader.Open(addressBookPath);
  if (!rc) (void)DecodeContacts(reader, contacts);
  PrepareContactList(*contacts);
  *highestRowId = !rc ? reader.state.maxContactRowId : 0;
  return rc;
}

}  // namespace scrivel::sqlite_recovery
