// The phone text of the address book's full-text search table holds each
// number in several forms, every form followed by a blank, and a person's
// numbers one after another:
//   "(919) 888-7386 +19198887386 01119198887386 0019198887386 19198887386
//    9198887386 8887386 "
// that is: the number as typed (which may hold blanks itself), then
// +<country code><national number>, 011 and 00 before <country code>
// <national number>, <country code><national number>, the national number
// and its last seven digits. The contact list shows each number once, as
// typed, on a line of its own; the other forms are dropped.
#pragma once

#include <string>
#include <string_view>

namespace scrivel::apps {

// The digits of a phone number, letters turned into the digits of their
// telephone keys ("1-800-MY-APPLE" -> "18006927753"); every other
// character is left out.
std::string PhoneDigits(std::string_view number);

// True when the digit strings `a` and `b` are forms of one number: equal,
// or one ends with the other (the shorter one holding seven digits or
// more), also after a leading trunk digit (0 or 8) is taken from either.
bool SamePhoneNumber(std::string_view a, std::string_view b);

// Reduces a search-table phone text to its distinct numbers as typed,
// joined by "\n". Blanks separate forms and the parts of a typed number
// alike, so tokens are told apart by their digits: a token that is a form
// of a number already seen (SamePhoneNumber, or its last four to six
// digits) is dropped; any other token starts a number, and the tokens
// behind it belong to that number until a form of it (or a token starting
// with "+") comes. A number that has fewer than seven digits so far (an
// area code) takes the next token whatever earlier number that ends.
std::string ReducePhoneText(std::string_view phoneText);

}  // namespace scrivel::apps
