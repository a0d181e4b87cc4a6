// The text a result row shows for a failed file: the project's own codes get
// their own words; anything else is an operating-system error.
#pragma once

#include <string>

namespace scrivel {

std::string ExportErrorText(int errorCode);

}  // namespace scrivel
