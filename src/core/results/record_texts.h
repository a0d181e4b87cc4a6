// Texts derived from records the same way wherever records are shown:
// lists, preview, printing and export. (The call texts live beside the call
// history assembly: CallTypeText and CallDurationText in
// core/apps/call_history.h.)
#pragma once

#include <string>

#include "core/apps/table_records.h"

namespace scrivel {

// The partner of a message as the text files and the print page name it:
// "name(address)" when the name is known (not empty and not "Unknown"),
// else the address.
std::string MessageSenderLabel(const apps::MessageItem& message);

// The same for a WhatsApp message: "senderName(senderJid)" or the id.
std::string ChatSenderLabel(const apps::ChatMessageItem& message);

// Who sent a received message, as conversation pages show it: the name
// when known, else the address.
std::string MessageSenderName(const apps::MessageItem& message);
std::string ChatSenderName(const apps::ChatMessageItem& message);

// What a message's text does not say by itself, as sentences: "This
// message was edited.", "Part of this message was unsent." (a message
// unsent as a whole shows that as its text) and its reactions ("Liked by
// Ann Lee."), in that order, joined by spaces; "" when there is nothing.
std::string MessageNotes(const apps::MessageItem& message);

// The text as conversations show it: the message's text, then its notes
// (MessageNotes) on a line of their own.
std::string MessageShownText(const apps::MessageItem& message);

}  // namespace scrivel
