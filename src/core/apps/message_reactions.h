// Reactions ("Loved", "Liked", ...) are rows of "message" of their own that
// point at another message by its GUID. They are shown with the message
// they react to rather than as messages of their own.
//
//   associated_message_type   2000 loved, 2001 liked, 2002 disliked,
//                             2003 laughed at, 2004 emphasized,
//                             2005 questioned, 2006 an emoji, 2007 a sticker;
//                             3000-3007: the same reaction taken back
//   associated_message_guid   "p:N/<GUID>" (part N of the target) or
//                             "bp:<GUID>" (a balloon such as a link preview)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/apps/table_records.h"

namespace scrivel::apps {

// True for the rows that add or take back a reaction.
bool IsReaction(const MessageItem& message);

// The GUID of the message a reaction points at: the text behind the "p:N/"
// or "bp:" prefix, at most 36 characters; "" when the target has neither.
std::string ReactionTargetGuid(std::string_view associatedGuid);

// Moves the reactions out of `messages` (after CompleteMessages, so that
// the reacting people have their names). Each reaction that adds one
// appends a sentence such as "Liked by Ann Lee." to its target's
// `reactions` ("Liked by Ann Lee (deleted)." for a reaction rebuilt from
// free space). A row that takes a reaction back is dropped: the phone has
// already removed the reaction it takes back. A reaction whose target is
// not among the messages stays in the list as a message of its own, with
// the text the phone stored for it ("A reaction." when it stored none) and
// `reactions` telling what it is, so that it is not lost.
void AttachReactions(std::vector<MessageItem>& messages);

}  // namespace scrivel::apps
