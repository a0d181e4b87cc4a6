// Turns the HTML of a note's title and body into the plain text the note
// list shows. Notes store their body as simple HTML: one <div> per line,
// <br> for empty lines, and character references for the characters HTML
// reserves.
#pragma once

#include <string>

namespace scrivel::apps {

// Cleans `html` in place, each step a left-to-right replace-all that goes
// on after the inserted text, matching exactly (letter case kept):
//  1. the references "&#39;", "&quot;", "&lt;", "&gt;", "&nbsp;" and
//     "&amp;", in that order, become ' " < > blank &;
//  2. "<div>" becomes "\n", "</div>" is removed, "<br>" becomes "\n".
// Because "&amp;" is decoded last, "&amp;lt;" ends as the text "&lt;";
// because the references are decoded first, an encoded "&lt;div&gt;" also
// becomes a line break.
void CleanNoteHtml(std::string& html);

}  // namespace scrivel::apps
