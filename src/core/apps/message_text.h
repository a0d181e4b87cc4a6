// The text a message shows, from the several places a row of sms.db keeps
// it. Until iOS 15 the "text" column holds it; from iOS 16 that column is
// often empty and the body lives only in "attributedBody" (a typedstream
// archive), an edited message keeps its versions in
// "message_summary_info", and an unsent one may keep no text at all.
#pragma once

#include <string_view>

#include "core/apps/table_records.h"

namespace scrivel::apps {

// What an unsent message with no text left shows.
inline constexpr std::string_view kUnsentMessageText = "This message was unsent.";

// Completes a decoded message row: the edited and unsent flags take what
// message_summary_info says as well, and the text is, first that applies,
//   1. the "text" column,
//   2. the latest version of an edited message (message_summary.h),
//   3. the text of "attributedBody" (typedstream_text.h),
//   4. kUnsentMessageText for an unsent message.
// The stored bytes (archivedBody, summaryInfo) are emptied. Returns false
// when the row has no text by any of these ways and is no reaction
// (message_reactions.h, which gives a reaction without text one): it is no
// message to show.
bool CompleteMessageText(MessageItem& message);

// Whether `guid` (the "guid" column of a message row) is whole: 36
// characters, none of them NUL. Every message row has one, so a deleted row
// without it is bytes that merely look like a message, or one cut into by
// later writes; the message decoder and the raw row dump both leave such
// rows out.
bool IsMessageGuid(std::string_view guid);

// Completes a decoded "recoverable_message_part" row: a part_text that is a
// typedstream archive becomes its text; one that is neither that nor
// well-formed UTF-8 is dropped. Returns false when no text is left.
bool CompletePartText(RecoverablePart& part);

}  // namespace scrivel::apps
