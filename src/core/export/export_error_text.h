// The text a result row shows for a failed file: the message of the result's
// own category (the project's codes and operating-system errors alike), as a
// sentence that starts with a capital letter. A symbolic link in the way
// gets a sentence of its own.
#pragma once

#include <string>
#include <system_error>

namespace scrivel {

std::string ExportErrorText(const std::error_code& error);

}  // namespace scrivel
