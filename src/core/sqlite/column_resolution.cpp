#include "core/sqlite/column_resolution.h"

#include <algorithm>
#include <cctype>


namespace scrivel::sqlite {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// "c16Phone" -> "Phone". A name without the prefix gives "": it is not one
// of the prefixed columns.
std::string_view WithoutIndexPrefix(std::string_view name) {
  if (name.size() < 2 || (name[0] != 'c' && name[0] != 'C')) return {};
  std::size_t i = 1;
  while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i]))) ++i;
  return i == 1 ? std::string_view() : name.substr(i);
}

int PositionOf(std::string_view wanted, const std::vector<std::string>& tableColumns, NameForm form) {
  for (std::size_t i = 0; i < tableColumns.size(); ++i) {
    const std::string_view name =
        form == NameForm::kAfterIndexPrefix ? WithoutIndexPrefix(tableColumns[i]) : std::string_view(tableColumns[i]);
    if (!name.empty() && EqualsIgnoringCase(name, wanted)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

ResolvedColumns ResolveColumns(std::span<const KeptColumn> kept, const std::vector<std::string>& tableColumns,
                               NameForm form) {
  ResolvedColumns byName;
  bool anyFound = false;
  for (const KeptColumn& column : kept) {
    int position = column.position;
    if (column.name) {
      position = PositionOf(column.name, tableColumns, form);
      anyFound = anyFound || position >= 0;
    }
    byName.positions.push_back(position);
  }
  if (anyFound) {
    byName.declaredColumns = static_cast<int>(tableColumns.size());
    return byName;
  }
  ResolvedColumns builtIn;
  for (const KeptColumn& column : kept) builtIn.positions.push_back(column.position);
  return builtIn;
}

}  // namespace scrivel::sqlite
