#include "core/export/conversation_files.h"

#include "core/common/readable_text.h"
#include "core/common/result_codes.h"
#include "core/export/csv_field.h"
#include "core/export/html_text.h"
#include "core/export/output_file.h"
#include "core/results/record_texts.h"

namespace scrivel {

namespace {

using apps::ChatMessageItem;
using apps::MessageItem;

// Width of the right-aligned labels of the text files.
constexpr std::size_t kTextLabelWidth = 10;

// Percent of a page after message `index` of `count`.
int PagePercent(std::size_t index, std::size_t count) {
  return static_cast<int>((static_cast<std::uint64_t>(index) + 1) * 100 / count);
}

// What the shared writers need to know of a message of either kind.
std::string SenderLabel(const MessageItem& message) { return MessageSenderLabel(message); }
std::string SenderLabel(const ChatMessageItem& message) { return ChatSenderLabel(message); }
std::string SenderName(const MessageItem& message) { return MessageSenderName(message); }
std::string SenderName(const ChatMessageItem& message) { return ChatSenderName(message); }
std::string ShownText(const MessageItem& message) { return MessageShownText(message); }
std::string ShownText(const ChatMessageItem& message) { return message.text; }

void WriteTextLine(OutputFile& file, std::string_view label, std::string_view value) {
  constexpr std::string_view kPadding = "          ";
  static_assert(kPadding.size() == kTextLabelWidth);
  if (label.size() < kTextLabelWidth) file.WriteText(kPadding.substr(label.size()));
  file.WriteText(label);
  file.WriteText(": ");
  file.WriteText(ReadableText(value));
  file.WriteText("\n");
}

template <typename Message>
std::error_code WriteConversationText(const std::vector<Message>& messages, const std::string& path) {
  OutputFile file;
  if (std::error_code result = file.Open(path); result) return result;
  file.WriteByteOrderMark();
  for (const Message& message : messages) {
    WriteTextLine(file, message.fromMe != 0 ? "To" : "From", SenderLabel(message));
    WriteTextLine(file, "Data", message.date);
    WriteTextLine(file, "Content", ShownText(message));
    file.WriteText("\n");
  }
  return file.Close();
}

// Sets `block` to the HTML of one message (a buffer reused for every
// message of a page).
template <typename Message>
void MessageBlockHtml(const Message& message, std::string& block) {
  const bool deleted = message.deleted != 0;
  block = "<div class=\"date\">Date: ";
  AppendEscapedHtml(block, message.date);
  if (message.fromMe != 0) {
    block += " Me";
    block += ":</div>\r\n";
    block += deleted ? "<div class=\"del_send_msg\">" : "<div class=\"send_msg\">";
  } else {
    block += " ";
    AppendEscapedHtml(block, SenderName(message));
    block += ":</div>\r\n";
    block += deleted ? "<div class=\"del_recv_msg\">" : "<div class=\"recv_msg\">";
  }
  AppendHtmlText(block, ShownText(message));
  block += "</div>\r\n";
}

template <typename Message>
std::error_code WriteConversationHtml(const std::vector<Message>& messages, const std::string& head, const std::string& tail,
                          const std::string& path, ExportProgress& progress) {
  OutputFile file;
  std::error_code result = file.Open(path);
  if (result) {
    (void)progress.Report(100, result, path);  // the failure is the result; a cancel changes nothing here
    return result;
  }
  file.Write(head);
  // Every message but the last reports its share as it is written; the
  // report of 100 marks the page finished, so it is made once the page is
  // complete and closed. A cancelled page still gets its tail.
  bool cancelled = false;
  std::string block;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    MessageBlockHtml(messages[i], block);
    file.Write(block);
    if (i + 1 < messages.size() && progress.Report(PagePercent(i, messages.size()), {}, path)) {
      cancelled = true;
      break;
    }
  }
  file.Write(tail);
  result = file.Close();
  if (cancelled) return kCancelled;
  const std::error_code reported = progress.Report(100, result, path);
  return result ? result : reported;
}

}  // namespace

std::error_code WriteMessagesText(const std::vector<MessageItem>& messages, const std::string& path) {
  return WriteConversationText(messages, path);
}

std::error_code WriteChatText(const std::vector<ChatMessageItem>& messages, const std::string& path) {
  return WriteConversationText(messages, path);
}

std::error_code WriteChatCsv(const std::vector<ChatMessageItem>& messages, const std::string& path) {
  OutputFile file;
  if (std::error_code result = file.Open(path); result) return result;
  file.WriteByteOrderMark();
  file.WriteText("Chats,Name/Phone,Date,Type,Content\n");
  for (const ChatMessageItem& message : messages) {
    std::string line = CsvField(message.senderName);
    line += ",";
    line += CsvField(message.senderJid);
    line += ",";
    line += CsvField(message.date);
    line += message.fromMe != 0 ? ",\"Send\"," : ",\"Received\",";
    line += CsvField(message.text);
    line += "\r\n";
    // Written as bytes: a line break inside a quoted field stays as it is.
    file.Write(line);
  }
  return file.Close();
}

std::error_code WriteMessagesHtml(const std::vector<MessageItem>& messages, const std::string& head, const std::string& tail,
                      const std::string& path, ExportProgress& progress) {
  return WriteConversationHtml(messages, head, tail, path, progress);
}

std::error_code WriteChatHtml(const std::vector<ChatMessageItem>& messages, const std::string& head, const std::string& tail,
                  const std::string& path, ExportProgress& progress) {
  return WriteConversationHtml(messages, head, tail, path, progress);
}

}  // namespace scrivel
