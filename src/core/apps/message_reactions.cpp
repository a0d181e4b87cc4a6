#include "core/apps/message_reactions.h"

#include <iterator>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace scrivel::apps {

namespace {

constexpr int kFirstAdded = 2000;
constexpr int kLastAdded = 2007;
constexpr int kRemovedOffset = 1000;  // 3000-3007 take back 2000-2007
constexpr std::size_t kGuidSize = 36;
constexpr std::string_view kReactionWithoutText = "A reaction.";

constexpr std::string_view kReactionWords[] = {
    "Loved",      "Liked",      "Disliked",           "Laughed at",
    "Emphasized", "Questioned", "Reacted to with an emoji", "Answered with a sticker",
};
static_assert(std::size(kReactionWords) == static_cast<std::size_t>(kLastAdded - kFirstAdded + 1));

bool AddsReaction(const MessageItem& message) {
  return message.reactionType >= kFirstAdded && message.reactionType <= kLastAdded;
}

std::string ReactorName(const MessageItem& reaction) {
  if (reaction.fromMe != 0) return "Me";
  if (!reaction.name.empty()) return reaction.name;
  if (!reaction.address.empty()) return reaction.address;
  return "an unknown sender";
}

// "Liked by Ann Lee." / "Liked by Ann Lee (deleted)."
std::string ReactionSentence(const MessageItem& reaction) {
  std::string sentence(kReactionWords[reaction.reactionType - kFirstAdded]);
  sentence += " by ";
  sentence += ReactorName(reaction);
  if (reaction.deleted != 0) sentence += " (deleted)";
  sentence += ".";
  return sentence;
}

void AppendSentence(std::string& text, const std::string& sentence) {
  if (!text.empty()) text += " ";
  text += sentence;
}

}  // namespace

bool IsReaction(const MessageItem& message) {
  return AddsReaction(message) || (message.reactionType >= kFirstAdded + kRemovedOffset &&
                                   message.reactionType <= kLastAdded + kRemovedOffset);
}

std::string ReactionTargetGuid(std::string_view associatedGuid) {
  std::string_view guid;
  if (associatedGuid.starts_with("p:")) {
    const std::size_t slash = associatedGuid.find('/');
    if (slash == std::string_view::npos) return {};
    guid = associatedGuid.substr(slash + 1);
  } else if (associatedGuid.starts_with("bp:")) {
    guid = associatedGuid.substr(3);
  } else {
    return {};
  }
  return std::string(guid.substr(0, kGuidSize));
}

void AttachReactions(std::vector<MessageItem>& messages) {
  // The reactions leave the list in place, so that the messages (most of a
  // large database) are neither copied nor moved to a second list.
  std::vector<MessageItem> reactions;
  for (MessageItem& message : messages)
    if (IsReaction(message)) reactions.push_back(std::move(message));
  if (reactions.empty()) return;
  std::erase_if(messages, [](const MessageItem& message) { return IsReaction(message); });

  // Only the messages that some reaction points at are indexed; the keys
  // are views of the reactions' own target GUIDs, which outlive the index.
  std::vector<std::string> targets;
  targets.reserve(reactions.size());
  for (const MessageItem& reaction : reactions) targets.push_back(ReactionTargetGuid(reaction.reactionTarget));
  std::unordered_map<std::string_view, std::size_t> indexByGuid;
  for (const std::string& target : targets)
    if (!target.empty()) indexByGuid.try_emplace(target, messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const auto wanted = indexByGuid.find(messages[i].guid);
    if (wanted != indexByGuid.end() && wanted->second == messages.size()) wanted->second = i;
  }
  const std::size_t messageCount = messages.size();

  for (std::size_t i = 0; i < reactions.size(); ++i) {
    MessageItem& reaction = reactions[i];
    if (!AddsReaction(reaction)) continue;
    const std::string sentence = ReactionSentence(reaction);
    const auto target = indexByGuid.find(targets[i]);
    if (target != indexByGuid.end() && target->second < messageCount) {
      AppendSentence(messages[target->second].reactions, sentence);
      continue;
    }
    reaction.reactions = sentence + " The message it reacts to is not in the backup.";
    if (reaction.text.empty()) reaction.text = kReactionWithoutText;
    messages.push_back(std::move(reaction));
  }
}

}  // namespace scrivel::apps
