// Contact list preparation, phone reduction and the name lookup shared by
// messages and call history.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/sqlite_recovery/contacts.h"
#include "core/sqlite_recovery/contacts_name_lookup.h"
#include "core/sqlite_recovery/contacts_phone.h"

namespace scrivel::sqlite_recovery {
namespace {

ContactItem Contact(std::string name, std::string phone, int deleted = 0) {
  ContactItem contact;
  contact.deleted = deleted;
  contact.name = std::move(name);
  contact.phone = std::move(phone);
  return contact;
}

TEST(ReducePhoneText, KeepsOneLinePerDistinctNumber) {
  struct Case {
    const char* phoneText;
    const char* reduced;
  };
  const Case cases[] = {
      // Short forms skipped; the other long forms end like 555-1234.
      {"+1 (408) 555-1234 14085551234 4085551234 5551234 1234 ", "555-1234"},
      {"14085551234 4085551234 5551234 ", "14085551234"},
      {"14085551234 14085559876 ", "14085551234\n14085559876"},
      // The text after the last blank is a token too: a single number stays.
      {"14085551234", "14085551234"},
      {"14085551234 14085559876", "14085551234\n14085559876"},
      {"123456", ""},
      {"1234567", "1234567"},
      {"", ""},
      {"   ", ""},
      // A number that returns after another one is listed again.
      {"14085551234 14085559876 0014085551234 ", "14085551234\n14085559876\n0014085551234"},
      // Characters count in UTF-16 code units: six letters of two bytes each are a short form.
      {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9 ", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReducePhoneText(c.phoneText), c.reduced) << "phone text: " << c.phoneText;
}

TEST(PrepareContactList, KeepsLiveContactsWithoutPhoneNamesTheNamelessAndSortsByName) {
  ContactItem mailOnly = Contact("Carol", "");
  mailOnly.email = "carol@example.com";
  ContactItem deletedMailOnly = Contact("", "", 1);
  deletedMailOnly.email = "dan@example.com";
  std::vector<ContactItem> contacts = {
      Contact("bob", "14085551234 "),
      mailOnly,                       // saved with an e-mail address only: listed
      Contact("", "", 1),             // a deleted record without any text: not listed
      Contact("", "14085559876 4085559876 "),
      Contact("Alice", "1234 ", 1),   // only a short form: listed with an empty phone
      deletedMailOnly,                // deleted, with an e-mail address: listed
      Contact("", ""),                // a live row without any text is still a person
  };
  PrepareContactList(contacts);
  ASSERT_EQ(contacts.size(), 6u);
  EXPECT_EQ(contacts[0].name, "Alice");
  EXPECT_EQ(contacts[0].phone, "");
  EXPECT_EQ(contacts[0].deleted, 1);
  EXPECT_EQ(contacts[1].name, "bob");
  EXPECT_EQ(contacts[1].phone, "14085551234");
  EXPECT_EQ(contacts[2].name, "Carol");
  EXPECT_EQ(contacts[2].phone, "");
  EXPECT_EQ(contacts[2].email, "carol@example.com");
  EXPECT_EQ(contacts[3].name, kNoContactName);
  EXPECT_EQ(contacts[3].phone, "14085559876");
  EXPECT_EQ(contacts[4].name, kNoContactName);
  EXPECT_EQ(contacts[4].email, "dan@example.com");
  EXPECT_EQ(contacts[4].deleted, 1);
  EXPECT_EQ(contacts[5].name, kNoContactName);
  EXPECT_EQ(contacts[5].deleted, 0);
}

TEST(PrepareContactList, EqualNamesKeepDecoderOrder) {
  std::vector<ContactItem> contacts;
  for (int i = 0; i < 40; ++i) contacts.push_back(Contact(i % 2 ? "Sam" : "sam", "1408555" + std::to_string(1000 + i) + " ", i));
  PrepareContactList(contacts);
  ASSERT_EQ(contacts.size(), 40u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(contacts[i].deleted, i);
}

TEST(ContactNameLookup, FirstContactWhosePhoneTextContainsTheNumber) {
  const std::vector<ContactItem> contacts = {
      Contact("Ann", "+44 20 7946 0000 442079460000 "),
      Contact("Ben", "+1 (408) 555-1234 14085551234 4085551234 "),
      Contact("Cid", "14085551234 "),
      Contact("Dee", "4085551234 "),
  };
  ContactNameLookup lookup(contacts);
  struct Case {
    const char* number;
    const char* name;
  };
  const Case cases[] = {
      {"4085551234", "Ben"},   // three contain it: the first wins
      {"14085551234", "Ben"},  // asked twice: the remembered answer is the same
      {"14085551234", "Ben"},
      {"2079460000", "Ann"},   // inside a longer form
      {"0000 +1", ""},         // would span the end of Ann's text and the start of Ben's
      {"4085551234 1", ""},    // would span the end of Ben's text and the start of Cid's
      {"99999", ""},
      {"Ben", ""},             // names are not searched
      {"", "Ann"},             // the empty text is in every phone text
  };
  for (const Case& c : cases) EXPECT_EQ(lookup.NameFor(c.number), c.name) << "number: " << c.number;
}

TEST(ContactNameLookup, AgreesWithSearchingEveryContactInOrder) {
  // Phone texts and numbers over a three-letter alphabet overlap a lot, so
  // most numbers occur in several contacts and at several places in one.
  std::mt19937 random(11);
  const auto text = [&](std::size_t maxSize) {
    std::string result(std::uniform_int_distribution<std::size_t>(0, maxSize)(random), ' ');
    for (char& c : result) c = "12 "[std::uniform_int_distribution<int>(0, 2)(random)];
    return result;
  };
  for (int round = 0; round < 20; ++round) {
    std::vector<ContactItem> contacts;
    for (int i = 0; i < 40; ++i) contacts.push_back(Contact("C" + std::to_string(i), text(30)));
    ContactNameLookup lookup(contacts);
    for (int query = 0; query < 200; ++query) {
      const std::string number = text(12);
      std::string expected;
      for (const ContactItem& contact : contacts)
        if (contact.phone.find(number) != std::string::npos) {
          expected = contact.name;
          break;
        }
      EXPECT_EQ(lookup.NameFor(number), expected) << "round " << round << " number '" << number << "'";
    }
  }
}

TEST(ContactNameLookup, NumberWithNulByteStaysInsideOneContact) {
  const std::vector<ContactItem> contacts = {Contact("Ann", "12345"), Contact("Ben", std::string("67\0" "89", 5))};
  ContactNameLookup lookup(contacts);
  EXPECT_EQ(lookup.NameFor(std::string("5\0" "67", 4)), "");
  EXPECT_EQ(lookup.NameFor(std::string("7\0" "8", 3)), "Ben");
}

TEST(ContactNameLookup, NoContacts) {
  const std::vector<ContactItem> contacts;
  ContactNameLookup lookup(contacts);
  EXPECT_EQ(lookup.NameFor("14085551234"), "");
  EXPECT_EQ(lookup.NameFor(""), "");
}

}  // namespace
}  // namespace scrivel::sqlite_recovery
