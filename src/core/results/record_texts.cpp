#include "core/results/record_texts.h"

#include <string_view>

#include "core/apps/message_text.h"

namespace scrivel {

namespace {

bool IsKnownName(const std::string& name) { return !name.empty() && name != "Unknown"; }

std::string Label(const std::string& name, const std::string& id) {
  return IsKnownName(name) ? name + "(" + id + ")" : id;
}

}  // namespace

std::string MessageSenderLabel(const apps::MessageItem& message) {
  return Label(message.name, message.address);
}

std::string ChatSenderLabel(const apps::ChatMessageItem& message) {
  return Label(message.senderName, message.senderJid);
}

std::string MessageSenderName(const apps::MessageItem& message) {
  return IsKnownName(message.name) ? message.name : message.address;
}

std::string ChatSenderName(const apps::ChatMessageItem& message) {
  return IsKnownName(message.senderName) ? message.senderName : message.senderJid;
}

std::string MessageNotes(const apps::MessageItem& message) {
  std::string notes;
  const auto add = [&notes](std::string_view sentence) {
    if (sentence.empty()) return;
    if (!notes.empty()) notes += " ";
    notes += sentence;
  };
  if (message.edited != 0) add("This message was edited.");
  if (message.unsent != 0 && message.text != apps::kUnsentMessageText) add("Part of this message was unsent.");
  add(message.reactions);
  return notes;
}

std::string MessageShownText(const apps::MessageItem& message) {
  const std::string notes = MessageNotes(message);
  return notes.empty() ? message.text : message.text + "\n" + notes;
}

}  // namespace scrivel
