// What message.message_summary_info (sms.db, iOS 16 and later) says about
// edits and unsending. The column holds a binary property list:
//
//   key  value
//   ec   dictionary: part index ("0", "1", ...) -> array of the part's
//        versions, oldest first; each version a dictionary with
//          d    real: seconds since 2001 of the version
//          t    data: the version's body as a typedstream archive
//               (typedstream_text.h)
//   ep   array of the indexes of the edited parts
//   rp   array of the indexes of the unsent (retracted) parts
//
// Other keys ("otr", "ust", ...) are not read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace scrivel::apps {

struct MessageSummary {
  bool edited = false;     // "ep" or "ec" names a part
  bool unsent = false;     // "rp" names a part
  std::string lastText;    // the latest version of each edited part, joined by line breaks; "" when none decodes
};

// Reads `bytes`; a value that is not such a list (or is damaged) gives an
// empty summary.
MessageSummary ParseMessageSummary(std::span<const std::uint8_t> bytes);

}  // namespace scrivel::apps
