// Contact names, phone reduction, the merge of the address book's two
// sources, list preparation and the name lookup shared by messages and
// call history.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/apps/contacts.h"
#include "core/apps/contacts_address_book.h"
#include "core/apps/contacts_name.h"
#include "core/apps/contacts_name_lookup.h"
#include "core/apps/contacts_phone.h"

namespace scrivel::apps {
namespace {

ContactItem Contact(std::string name, std::string phone, int deleted = 0) {
  ContactItem contact;
  contact.deleted = deleted;
  contact.name = std::move(name);
  contact.phone = std::move(phone);
  return contact;
}

TEST(ReducePhoneText, ShowsEachNumberWholeAsTypedOnce) {
  struct Case {
    const char* phoneText;
    const char* reduced;
  };
  const Case cases[] = {
      // The forms of a current address book: the area code stays.
      {"(919) 888-7386 +19198887386 01119198887386 0019198887386 19198887386 9198887386 8887386 ", "(919) 888-7386"},
      // Two numbers one after another.
      {"(919) 888-7386 +19198887386 01119198887386 0019198887386 19198887386 9198887386 8887386 "
       "(415) 888-7386 +14158887386 01114158887386 0014158887386 14158887386 4158887386 8887386 ",
       "(919) 888-7386\n(415) 888-7386"},
      // Spelled in letters: the letters stand for the digits of their keys.
      {"1-800-MY-APPLE +18006927753 01118006927753 0018006927753 18006927753 8006927753 6927753 ", "1-800-MY-APPLE"},
      // Other country codes, typed international or national (trunk 0 or 8).
      {"+44 20 7946 0958 +442079460958 011442079460958 00442079460958 442079460958 2079460958 9460958 ",
       "+44 20 7946 0958"},
      {"020 7946 0958 +442079460958 011442079460958 00442079460958 442079460958 2079460958 9460958 ", "020 7946 0958"},
      {"+7 912 345-67-89 +79123456789 79123456789 89123456789 ", "+7 912 345-67-89"},
      {"+33 6 12 34 56 78 +33612345678 33612345678 0612345678 ", "+33 6 12 34 56 78"},
      // Only the international form: that is the number shown.
      {"+19198887386 01119198887386 0019198887386 19198887386 9198887386 8887386 ", "+19198887386"},
      // The older search text with four-digit tail.
      {"+1 (408) 555-1234 14085551234 4085551234 5551234 1234 ", "+1 (408) 555-1234"},
      // A number returning after another one is not listed again.
      {"14085551234 14085559876 0014085551234 ", "14085551234\n14085559876"},
      // A "+" starts a number; no blank at the end; nothing at all.
      {"112 +4930123456", "112\n+4930123456"},
      {"", ""},
      {"   ", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReducePhoneText(c.phoneText), c.reduced) << "phone text: " << c.phoneText;
}

TEST(SamePhoneNumber, FormsOfOneNumberButNotNumbersSharingTheirEnd) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"9198887386", "19198887386", true},   {"9198887386", "01119198887386", true},
      {"9198887386", "8887386", true},       {"02079460958", "442079460958", true},
      {"89123456789", "79123456789", true},  {"9198887386", "4158887386", false},
      {"887386", "9198887386", false},       {"112", "112", true},
      {"", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SamePhoneNumber(c.a, c.b), c.same) << c.a << " / " << c.b;
  EXPECT_EQ(PhoneDigits("1-800-MY-APPLE"), "18006927753");
  EXPECT_EQ(PhoneDigits("(919) 888-7386"), "9198887386");
}

TEST(ComposePersonName, JoinsPartsAsThePhoneShowsThem) {
  struct Case {
    PersonNameParts parts;
    const char* shown;
  };
  const Case cases[] = {
      {{"", "Ann", "", "Lee", ""}, "Ann Lee"},
      {{"Dr.", "Ann", "M", "Lee", "Jr."}, "Dr. Ann M Lee Jr."},
      {{"", "Ann", "", "", ""}, "Ann"},
      {{"", "", "", "Lee", ""}, "Lee"},
      {{"", "Анна", "", "Иванова", ""}, "Анна Иванова"},
      // Scripts without blanks between words: family name first for
      // Chinese, Japanese and Korean, given name first for Thai.
      {{"", "小明", "", "王", ""}, "王小明"},
      {{"", "さくら", "", "佐藤", ""}, "佐藤さくら"},
      {{"", "민수", "", "김", ""}, "김민수"},
      {{"", "สมชาย", "", "ใจดี", ""}, "สมชายใจดี"},
      // Mixed scripts keep the blank.
      {{"", "Ann", "", "王", ""}, "Ann 王"},
      {{"", "", "", "", ""}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ComposePersonName(c.parts), c.shown) << c.shown;
}

TEST(ShownLabel, BuiltInLabelsLoseTheirMarks) {
  EXPECT_EQ(ShownLabel("_$!<Mobile>!$_"), "mobile");
  EXPECT_EQ(ShownLabel("_$!<HomePage>!$_"), "homepage");
  EXPECT_EQ(ShownLabel("Boat"), "Boat");
  EXPECT_EQ(ShownLabel("_$!<>!$_"), "");
  EXPECT_EQ(ShownLabel("_$!<"), "_$!<");
}

TEST(MergeContactSources, OneContactPerPersonFromBothSources) {
  ContactItem searchAnn = Contact("Ann Lee", "(919) 888-7386 +19198887386 9198887386 8887386 ");
  searchAnn.rowId = 1;
  searchAnn.social = "twitter ann";
  ContactItem searchBob = Contact("Bob", "+442079460958 442079460958 ");  // no person row: stays
  searchBob.rowId = 2;
  ContactItem searchGone = Contact("Cy", "0014085551234 ", 1);
  ContactItem personAnn = Contact("Ann Lee", "mobile: (919) 888-7386");
  personAnn.rowId = 1;
  ContactItem deletedCy = Contact("Cy", "", 1);        // its search row came back too: not listed twice
  ContactItem deletedDee = Contact("Dee", "", 1);      // only its person row survived
  const std::vector<ContactItem> merged =
      MergeContactSources({searchAnn, searchBob, searchGone}, {personAnn, deletedCy, deletedDee});
  ASSERT_EQ(merged.size(), 4u);
  EXPECT_EQ(merged[0].name, "Ann Lee");
  EXPECT_EQ(merged[0].phone, "mobile: (919) 888-7386");
  EXPECT_EQ(merged[0].social, "twitter ann");  // taken from the search row
  EXPECT_EQ(merged[1].name, "Bob");
  EXPECT_EQ(merged[1].phone, "+442079460958");
  EXPECT_EQ(merged[2].name, "Cy");
  EXPECT_EQ(merged[2].phone, "0014085551234");
  EXPECT_EQ(merged[3].name, "Dee");
  EXPECT_EQ(merged[3].deleted, 1);
}

TEST(PrepareContactList, KeepsLiveContactsWithoutPhoneNamesTheNamelessAndSortsByName) {
  ContactItem mailOnly = Contact("Carol", "");
  mailOnly.email = "carol@example.com";
  ContactItem deletedMailOnly = Contact("", "", 1);
  deletedMailOnly.email = "dan@example.com";
  ContactItem organization = Contact("", "1-800-BOOK-NOW");
  organization.company = "City Library";
  std::vector<ContactItem> contacts = {
      Contact("bob", "14085551234"),
      mailOnly,                       // saved with an e-mail address only: listed
      Contact("", "", 1),             // a deleted record without any text: not listed
      Contact("", "14085559876"),
      organization,                   // named after its organization
      deletedMailOnly,                // deleted, with an e-mail address: listed
      Contact("", ""),                // a live row without any text is still a person
  };
  PrepareContactList(contacts);
  ASSERT_EQ(contacts.size(), 6u);
  EXPECT_EQ(contacts[0].name, "bob");
  EXPECT_EQ(contacts[1].name, "Carol");
  EXPECT_EQ(contacts[1].email, "carol@example.com");
  EXPECT_EQ(contacts[2].name, "City Library");
  EXPECT_EQ(contacts[2].phone, "1-800-BOOK-NOW");
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
}  // namespace scrivel::apps
