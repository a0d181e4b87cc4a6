// A typed reference to one result: a stored file or a record of one of the
// database categories. The selection statistics key their entries by the
// referenced object's address; export and printing read the object through
// the reference. The referenced object belongs to the scan results and must
// outlive every reference to it.
#pragma once

#include <variant>

#include "core/recovery/file_item.h"
#include "core/apps/table_records.h"

namespace scrivel {

using ResultItem =
    std::variant<std::monostate, const FileItem*, const apps::MessageItem*,
                 const apps::ContactItem*, const apps::CallItem*,
                 const apps::NoteItem*, const apps::ChatMessageItem*>;

// The address of the referenced object; nullptr for an empty reference.
inline const void* ResultItemKey(const ResultItem& item) {
  return std::visit(
      [](const auto& value) -> const void* {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::monostate>) {
          return nullptr;
        } else {
          return value;
        }
      },
      item);
}

}  // namespace scrivel
