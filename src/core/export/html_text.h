// Escaping of recovered text for the HTML pages of the export and the print
// page. Recovered values are data, never markup: a message that contains
// "<script>" must show those characters, not run them.
#pragma once

#include <string>
#include <string_view>

namespace scrivel {

// Replaces & < > " ' by their character references. Ill-formed UTF-8 and
// control bytes other than tab and line ends are replaced by U+FFFD, so the
// page stays valid, readable UTF-8 (core/common/readable_text.h).
std::string EscapeHtml(std::string_view text);

// EscapeHtml, then every line break ("\r\n", "\n" or a lone "\r") becomes
// "<br />": for values shown as text in a page.
std::string HtmlText(std::string_view text);

// Append what EscapeHtml and HtmlText return to `out`: for pages built of
// many values, without a string of their own per value.
void AppendEscapedHtml(std::string& out, std::string_view text);
void AppendHtmlText(std::string& out, std::string_view text);

}  // namespace scrivel
