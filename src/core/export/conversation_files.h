// The files of one exported conversation or WhatsApp chat: a text file of
// three lines per message (From/To, "Data" with the date, Content), a CSV
// file of the chat, and the HTML page built from the conversation template,
// in which deleted messages carry the classes "del_send_msg" and
// "del_recv_msg". The text and CSV files are UTF-8 with a byte-order mark
// and CR LF line ends. In all three, recovered text is written readable:
// control bytes and broken UTF-8 become U+FFFD (core/common/readable_text.h).
#pragma once

#include <system_error>

#include <string>
#include <vector>

#include "core/export/export_progress.h"
#include "core/apps/table_records.h"

namespace scrivel {

// Each writer creates or truncates `path` (its folder must exist) and
// returns success or the system's error code. `messages` may be empty.
[[nodiscard]] std::error_code WriteMessagesText(const std::vector<apps::MessageItem>& messages,
                                    const std::string& path);
[[nodiscard]] std::error_code WriteChatText(const std::vector<apps::ChatMessageItem>& messages,
                                const std::string& path);

// "Chats,Name/Phone,Date,Type,Content", then one line per message: sender
// name, sender id, date, "Send" or "Received", text; every field quoted
// (csv_field.h).
[[nodiscard]] std::error_code WriteChatCsv(const std::vector<apps::ChatMessageItem>& messages,
                               const std::string& path);

// Writes head + one block per message + tail. After each message reports
// (i + 1) * 100 / n to `progress`, so the page's result row is added when
// the last message is written (a page without messages reports 100 once
// it is written). When a report returns non-zero (cancelled) the loop stops
// and the page is completed with what was written. A page that cannot be
// written is reported as failed. Returns success, kCancelled or the error code.
[[nodiscard]] std::error_code WriteMessagesHtml(const std::vector<apps::MessageItem>& messages, const std::string& head,
                      const std::string& tail, const std::string& path, ExportProgress& progress);
[[nodiscard]] std::error_code WriteChatHtml(const std::vector<apps::ChatMessageItem>& messages, const std::string& head,
                  const std::string& tail, const std::string& path, ExportProgress& progress);

}  // namespace scrivel
