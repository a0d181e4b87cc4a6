#include "core/apps/message_text.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "core/common/utf8.h"

#include "core/apps/message_reactions.h"
#include "core/apps/message_summary.h"
#include "core/apps/typedstream_text.h"

namespace scrivel::apps {

namespace {

std::span<const std::uint8_t> BytesOf(const std::string& stored) {
  return {reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()};
}

}  // namespace

bool IsMessageGuid(std::string_view guid) {
  constexpr std::size_t kGuidSize = 36;
  return guid.size() == kGuidSize && guid.find('\0') == std::string_view::npos;
}

bool CompleteMessageText(MessageItem& message) {
  const MessageSummary summary = ParseMessageSummary(BytesOf(message.summaryInfo));
  if (summary.edited) message.edited = 1;
  if (summary.unsent) message.unsent = 1;
  if (message.text.empty()) message.text = summary.lastText;
  if (message.text.empty()) message.text = TypedstreamText(BytesOf(message.archivedBody));
  if (message.text.empty() && message.unsent != 0) message.text = kUnsentMessageText;
  message.archivedBody.clear();
  message.archivedBody.shrink_to_fit();
  message.summaryInfo.clear();
  message.summaryInfo.shrink_to_fit();
  // A reaction without any text still counts: it is shown with its target.
  return !message.text.empty() || IsReaction(message);
}

bool CompletePartText(RecoverablePart& part) {
  std::string archived = TypedstreamText(BytesOf(part.text));
  if (!archived.empty()) {
    part.text = std::move(archived);
  } else if (!IsValidUtf8(part.text)) {
    part.text.clear();
  }
  return !part.text.empty();
}

}  // namespace scrivel::apps
