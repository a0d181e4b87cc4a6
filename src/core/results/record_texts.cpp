#include "core/results/record_texts.h"

namespace scrivel {

namespace {

bool IsKnownName(const std::string& name) { return !name.empty() && name != "Unknown"; }

std::string Label(const std::string& name, const std::string& id) {
  return IsKnownName(name) ? name + "(" + id + ")" : id;
}

}  // namespace

std::string MessageSenderLabel(const sqlite_recovery::MessageItem& message) {
  return Label(message.name, message.address);
}

std::string ChatSenderLabel(const sqlite_recovery::ChatMessageItem& message) {
  return Label(message.senderName, message.senderJid);
}

std::string MessageSenderName(const sqlite_recovery::MessageItem& message) {
  return IsKnownName(message.name) ? message.name : message.address;
}

std::string ChatSenderName(const sqlite_recovery::ChatMessageItem& message) {
  return IsKnownName(message.senderName) ? message.senderName : message.senderJid;
}

}  // namespace scrivel
