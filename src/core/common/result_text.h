// What a result code means, in words for a person: the project's own codes
// (result_codes.h) get their own sentences; any other value is an
// operating-system error and gets the system's text. Messages show this,
// never a bare number.
#pragma once

#include <string>

namespace scrivel {

std::string ResultText(int code);

}  // namespace scrivel
