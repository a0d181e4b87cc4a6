// Naming, ordering and the display texts of calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/apps/assembly_order.h"
#include "core/apps/call_history.h"

namespace scrivel::apps {
namespace {

CallItem Call(std::string address, std::string date = "2020-01-01 00:00:00") {
  CallItem call;
  call.address = std::move(address);
  call.date = std::move(date);
  call.name = "stale";
  return call;
}

ContactItem Contact(std::string name, std::string phone) {
  ContactItem contact;
  contact.name = std::move(name);
  contact.phone = std::move(phone);
  return contact;
}

TEST(NameCalls, FirstContactContainingAnAddressOfAtLeastFiveCharacters) {
  const std::vector<ContactItem> contacts = {
      Contact("Voicemail box", "1234 01234 "),
      Contact("Ann", "+14085551234 14085551234 4085551234 "),
      Contact("Ann's twin", "14085551234 "),
  };
  std::vector<CallItem> calls = {Call("1234"), Call("01234"), Call("14085551234"), Call("5551234"), Call("99999"),
                                 Call("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9")};  // 4 characters in 8 bytes
  NameCalls(calls, contacts);
  EXPECT_EQ(calls[0].name, "");  // 4 characters: never named
  EXPECT_EQ(calls[1].name, "Voicemail box");
  EXPECT_EQ(calls[2].name, "Ann");
  EXPECT_EQ(calls[3].name, "Ann");
  EXPECT_EQ(calls[4].name, "");
  EXPECT_EQ(calls[5].name, "");
}

TEST(CallTexts, TypeAndDuration) {
  struct Case {
    int incoming;
    int duration;
    const char* type;
    const char* duration_text;
  };
  const Case cases[] = {
      {1, 0, "Incoming", "Missed"},
      {0, 0, "Outgoing", "Canceled"},
      {1, 59, "Incoming", "59 Sec"},
      {0, 3725, "Outgoing", "1 Hour 2 Min"},
  };
  for (const Case& c : cases) {
    CallItem call;
    call.incoming = c.incoming;
    call.duration = c.duration;
    EXPECT_STREQ(CallTypeText(call), c.type);
    EXPECT_EQ(CallDurationText(call), c.duration_text);
  }
}

TEST(SortByDateText, AscendingWithEqualDatesInDecoderOrder) {
  std::vector<CallItem> calls;
  for (int i = 0; i < 50; ++i) {
    CallItem call = Call("x", i % 2 ? "2021-05-05 10:00:00" : "2019-05-05 10:00:00");
    call.duration = i;
    calls.push_back(call);
  }
  SortByDateText(calls);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].date, i < 25 ? "2019-05-05 10:00:00" : "2021-05-05 10:00:00");
    if (i > 0 && calls[i].date == calls[i - 1].date) {
      EXPECT_LT(calls[i - 1].duration, calls[i].duration);
    }
  }
}

TEST(TextLessIgnoringCase, ComparesAsciiLettersAsLowerCase) {
  EXPECT_TRUE(TextLessIgnoringCase("Alice", "bob"));
  EXPECT_FALSE(TextLessIgnoringCase("bob", "Alice"));
  EXPECT_FALSE(TextLessIgnoringCase("ALICE", "alice"));
  EXPECT_FALSE(TextLessIgnoringCase("alice", "ALICE"));
  EXPECT_TRUE(TextLessIgnoringCase("", "a"));
  EXPECT_TRUE(TextLessIgnoringCase("2020-01-01 00:00:00", "2020-01-01 00:00:01"));
  // Letters compare as lower case, so "Z" (as 'z', 0x7A) sorts after '_' (0x5F).
  EXPECT_TRUE(TextLessIgnoringCase("_", "Z"));
  EXPECT_FALSE(TextLessIgnoringCase("Z", "_"));
}

}  // namespace
}  // namespace scrivel::apps
