// Text read from a file (table and column names, values, device names),
// made safe to print on a terminal: a terminal acts on the control
// characters it receives (ESC starts a command sequence that can move the
// cursor, rewrite the title or the screen; BEL rings), so a damaged or
// hostile file must not be able to send them. Escapes, one per byte or
// character:
//   \t \n \r        tab, line feed, carriage return
//   \xHH            any other control byte (below 0x20, and 0x7f), and each
//                   byte of an ill-formed UTF-8 sequence
//   \u0080..\u009f  the C1 control characters (U+0080 to U+009F)
//   \\  \"          a backslash and a double quote, so that escapes and
//                   quoted values stay unambiguous
// Everything else (printable ASCII, well-formed UTF-8) is kept.
#pragma once

#include <string>
#include <string_view>

namespace scrivel::cli {

std::string TerminalText(std::string_view text);

}  // namespace scrivel::cli
