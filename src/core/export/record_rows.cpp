#include "core/export/record_rows.h"

#include <initializer_list>
#include <string_view>

#include "core/export/html_text.h"
#include "core/apps/call_history.h"

namespace scrivel {

namespace {

std::string Row(std::int32_t deleted, std::initializer_list<std::string_view> cells) {
  std::string row = "\t<tr";
  row += RowClass(deleted);
  row += ">";
  for (std::string_view cell : cells) {
    row += "<td>";
    row += HtmlText(cell);
    row += "</td>";
  }
  row += "</tr>\r\n";
  return row;
}

}  // namespace

std::string CallRowHtml(const apps::CallItem& call) {
  return Row(call.deleted, {call.name, call.address, call.date, CallTypeText(call), CallDurationText(call)});
}

std::string NoteRowHtml(const apps::NoteItem& note) {
  return Row(note.deleted, {note.title, note.date, note.content, note.folder, note.locked != 0 ? "Locked" : ""});
}

std::string ContactRowHtml(const apps::ContactItem& contact) {
  // HtmlText turns the line feeds between the numbers into "<br />".
  return Row(contact.deleted, {contact.name, contact.phone, contact.email, contact.address, contact.url,
                               contact.social, contact.company});
}

}  // namespace scrivel
