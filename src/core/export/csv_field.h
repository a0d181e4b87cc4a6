// One field of a comma-separated file as RFC 4180 writes it: a field that
// holds a comma, a double quote or a line break is put between double
// quotes with its own double quotes doubled; any other field stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace scrivel {

std::string CsvField(std::string_view text);

}  // namespace scrivel
