// The plain text of an attributed string archived in the "typedstream"
// format, as sms.db keeps message bodies (message.attributedBody, the
// versions of an edited message, recoverable_message_part.part_text).
//
// Layout of the part that is read (little-endian streams only):
//
//   offset 0   04 0B "streamtyped"  streamer version 4, 11-byte signature
//   ...        class chain of the outer object (NSAttributedString or
//              NSMutableAttributedString), then the string object, whose
//              chain names the class "NSString"
//   ...        84 01 2B             new type string of length 1: "+", a
//                                   byte string follows
//   ...        LEN                  byte count of the UTF-8 text:
//                                     00..7F     the value itself
//                                     81 lo hi   2-byte little-endian value
//                                     82 b0..b3  4-byte little-endian value
//   ...        LEN bytes of UTF-8 text
//
// Offsets are never assumed: the reader finds the class name "NSString",
// then the first byte-string marker after it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace scrivel::apps {

// The text of `archive`, or "" when it is not a little-endian typedstream,
// holds no string, declares a length beyond its end, or its text is not
// well-formed UTF-8. Never reads outside `archive`.
std::string TypedstreamText(std::span<const std::uint8_t> archive);

}  // namespace scrivel::apps
