// The table rows of the collecting pages (call history, notes, contacts):
// one "<tr>" line per record, every value escaped. Each line starts with a
// tab and ends with CR LF.
#pragma once

#include <string>

#include "core/apps/table_records.h"

namespace scrivel {

// Name, number, date, "Incoming"/"Outgoing", duration ("Missed"/"Canceled"
// for a call of 0 seconds).
std::string CallRowHtml(const apps::CallItem& call);

// Title, date, content (line breaks shown).
std::string NoteRowHtml(const apps::NoteItem& note);

// Name, phone numbers (one per line, joined by "<br />"), e-mail, address,
// URL, social profiles, company.
std::string ContactRowHtml(const apps::ContactItem& contact);

// The row's class attribute: deleted records are drawn in the deleted colour.
inline const char* RowClass(std::int32_t deleted) { return deleted != 0 ? " class=\"deleted\"" : ""; }

}  // namespace scrivel
