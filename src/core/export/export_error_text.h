// The text a result row shows for a failed file: the message of the result's
// own category (the project's codes and operating-system errors alike), as a
// sentence that starts with a capital letter.
#pragma once

#include <string>
#include <system_error>

namespace scrivel {

std::string ExportErrorText(const std::error_code& error);

}  // namespace scrivel
