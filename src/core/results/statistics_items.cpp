#include "core/results/statistics_items.h"

#include "core/common/utf8.h"

namespace scrivel {

StatisticsItem MakeStatisticsItem(const FileItem& file) {
  const std::uint64_t videoSize = file.pairedVideo ? file.pairedVideo->size : 0;
  return {&file, file.deleted, file.size + videoSize};
}

StatisticsItem MakeStatisticsItem(const apps::MessageItem& row) {
  return {&row, row.deleted != 0, Utf16Length(row.text)};
}

StatisticsItem MakeStatisticsItem(const apps::ContactItem& contact) {
  return {&contact, contact.deleted != 0, Utf16Length(contact.name) + Utf16Length(contact.phone)};
}

StatisticsItem MakeStatisticsItem(const apps::CallItem& call) {
  return {&call, call.deleted != 0, Utf16Length(call.name) + Utf16Length(call.address)};
}

StatisticsItem MakeStatisticsItem(const apps::NoteItem& note) {
  return {&note, note.deleted != 0, Utf16Length(note.content)};
}

StatisticsItem MakeStatisticsItem(const apps::ChatMessageItem& row) {
  return {&row, row.deleted != 0, Utf16Length(row.text)};
}

}  // namespace scrivel
