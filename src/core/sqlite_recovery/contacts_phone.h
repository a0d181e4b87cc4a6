// The phone text of the address book's full-text search table holds every
// number in several forms (international, national, digits only, short
// forms) separated by blanks, e.g.
//   "+1 (408) 555-1234 14085551234 4085551234 5551234 1234 "
// The contact list shows each distinct number once, on its own line.
#pragma once

#include <string>
#include <string_view>

namespace scrivel::sqlite_recovery {

// Reduces a full-text phone text to its distinct numbers joined by "\n".
// Tokens are the texts between blanks, the text after the last blank
// included. A token of 6 characters or fewer is a short form and is
// skipped; a token whose last four characters equal those of the token
// kept before it is another form of that number and is skipped too.
// Characters are counted in UTF-16 code units.
std::string ReducePhoneText(std::string_view phoneText);

}  // namespace scrivel::sqlite_recovery
