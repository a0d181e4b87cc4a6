#include "core/export/print_page.h"

#include "core/common/result_codes.h"
#include "core/export/export_template.h"
#include "core/export/html_text.h"
#include "core/export/output_file.h"
#include "core/results/record_texts.h"
#include "core/apps/call_history.h"

namespace scrivel {

namespace {

// One "<p><span>Label:</span>value</p>" line.
void AddLine(std::string& block, const char* label, std::string_view value) {
  block += "<p><span>";
  block += label;
  block += ":</span>";
  block += HtmlText(value);
  block += "</p>\r\n";
}

class PrintBuilder {
 public:
  PrintBuilder(const PrintRequest& request, std::string& content) : m_request(request), m_content(content) {}

  // True when the row is to be printed.
  template <typename Row>
  bool Takes(const Row& row) const {
    if (m_request.deletedOnly && row.deleted == 0) return false;
    const StatisticsEntry* entry = m_request.statistics->Find(&row);
    return entry != nullptr && entry->checked;
  }
  bool Cancelled() const { return m_request.cancelled != nullptr && m_request.cancelled->load(); }

  std::error_code Messages() {
    for (const MessageItem& row : m_request.rows->conversations) {
      if (!Takes(row)) continue;
      auto found = m_request.results->messages.find(row.handleId);
      if (found == m_request.results->messages.end()) continue;
      for (const MessageItem& message : found->second) {
        if (Cancelled()) return kCancelled;
        m_content += "<div>\r\n";
        AddLine(m_content, message.fromMe != 0 ? "To" : "From", MessageSenderLabel(message));
        AddLine(m_content, "Date", message.date);
        AddLine(m_content, "Content", MessageShownText(message));
        m_content += "</div>\r\n";
      }
    }
    return {};
  }

  std::error_code Contacts() {
    for (const ContactItem& contact : m_request.results->contacts) {
      if (!Takes(contact)) continue;
      if (Cancelled()) return kCancelled;
      m_content += "<div>\r\n";
      AddLine(m_content, "Name", contact.name);
      AddLine(m_content, "Phone Number", contact.phone);
      AddLine(m_content, "Company", contact.company);
      AddLine(m_content, "Email", contact.email);
      AddLine(m_content, "URL", contact.url);
      m_content += "</div>\r\n";
    }
    return {};
  }

  std::error_code Calls() {
    for (const CallItem& call : m_request.results->calls) {
      if (!Takes(call)) continue;
      if (Cancelled()) return kCancelled;
      m_content += "<div>\r\n";
      AddLine(m_content, "Name", call.name);
      AddLine(m_content, "Phone Number", call.address);
      AddLine(m_content, "Date", call.date);
      AddLine(m_content, "Type", CallTypeText(call));
      AddLine(m_content, "Duration", CallDurationText(call));
      m_content += "</div>\r\n";
    }
    return {};
  }

  std::error_code Notes() {
    for (const NoteItem& note : m_request.results->notes) {
      if (!Takes(note)) continue;
      if (Cancelled()) return kCancelled;
      m_content += "<div>\r\n";
      AddLine(m_content, "Title", note.title);
      AddLine(m_content, "Date", note.date);
      AddLine(m_content, "Notes", note.content);
      if (!note.folder.empty()) AddLine(m_content, "Folder", note.folder);
      if (note.locked != 0) AddLine(m_content, "Locked", "Locked with a password: the text was not read.");
      m_content += "</div>\r\n";
    }
    return {};
  }

  std::error_code Chats() {
    if (m_request.rows->chats.empty()) return kNothingToPrint;
    for (const ChatMessageItem& row : m_request.rows->chats) {
      if (!Takes(row)) continue;
      m_content += "<div>\r\n";
      AddLine(m_content, "Chats", row.chatTitle);
      AddLine(m_content, "Name", row.chatNames.empty() ? row.senderName : row.chatNames);
      AddLine(m_content, "Phone Number", row.chatJids.empty() ? row.senderJid : row.chatJids);
      m_content += "<p><span>Content:</span></p>\r\n";
      auto found = m_request.results->whatsApp.find(row.chatSessionId);
      if (found != m_request.results->whatsApp.end()) {
        for (const ChatMessageItem& message : found->second) {
          if (Cancelled()) {
            m_content += "</div>\r\n";
            return kCancelled;
          }
          m_content += "<p>" + HtmlText(message.fromMe != 0 ? "Me" : message.senderName) + " (" +
                       HtmlText(message.date) + "): " + HtmlText(message.text) + "</p>";
        }
      }
      m_content += "</div>\r\n";
    }
    return {};
  }

 private:
  const PrintRequest& m_request;
  std::string& m_content;
};

}  // namespace

std::error_code BuildPrintContent(const PrintRequest& request, std::string* content) {
  if (request.statistics == nullptr || request.results == nullptr || request.rows == nullptr) return kNothingToPrint;
  PrintBuilder builder(request, *content);
  switch (request.kind) {
    case CategoryKind::kMessages: return builder.Messages();
    case CategoryKind::kContacts: return builder.Contacts();
    case CategoryKind::kCallHistory: return builder.Calls();
    case CategoryKind::kNotes: return builder.Notes();
    case CategoryKind::kWhatsApp: return builder.Chats();
    default: return kNothingToPrint;
  }
}

std::error_code WritePrintPage(const std::string& templatePath, const std::string& content, const std::string& pagePath) {
  ExportTemplate page;
  if (LoadExportTemplate(templatePath, "", &page)) page = ExportTemplate{};
  return WriteWholeFile(pagePath, {page.head, content, page.tail});
}

}  // namespace scrivel
