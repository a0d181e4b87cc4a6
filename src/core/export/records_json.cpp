#include "core/export/records_json.h"

#include <cstdio>

#include "core/common/result_codes.h"
#include "core/common/utf8.h"

namespace scrivel {

namespace {

// Builds one JSON object from name/value pairs, in order.
class JsonObject {
 public:
  JsonObject& Text(std::string_view name, std::string_view value) {
    return Raw(name, JsonString(value));
  }
  JsonObject& Number(std::string_view name, std::int64_t value) { return Raw(name, std::to_string(value)); }
  JsonObject& Flag(std::string_view name, std::int32_t value) { return Raw(name, value != 0 ? "true" : "false"); }
  std::string Take() { return m_text + "}"; }

 private:
  JsonObject& Raw(std::string_view name, std::string_view value) {
    m_text += m_text.size() > 1 ? "," : "";
    m_text += JsonString(name);
    m_text += ":";
    m_text += value;
    return *this;
  }
  std::string m_text = "{";
};

}  // namespace

std::string RecordJson(const apps::MessageItem& message) {
  return JsonObject()
      .Flag("deleted", message.deleted)
      .Flag("fromMe", message.fromMe)
      .Number("rowId", message.rowId)
      .Number("handleId", message.handleId)
      .Text("date", message.date)
      .Text("address", message.address)
      .Text("name", message.name)
      .Text("text", message.text)
      .Text("attachment", message.attachment)
      .Flag("edited", message.edited)
      .Flag("unsent", message.unsent)
      .Text("reactions", message.reactions)
      .Take();
}

std::string RecordJson(const apps::ContactItem& contact) {
  return JsonObject()
      .Flag("deleted", contact.deleted)
      .Text("name", contact.name)
      .Text("phone", contact.phone)
      .Text("email", contact.email)
      .Text("address", contact.address)
      .Text("url", contact.url)
      .Text("social", contact.social)
      .Text("company", contact.company)
      .Take();
}

std::string RecordJson(const apps::CallItem& call) {
  return JsonObject()
      .Flag("deleted", call.deleted)
      .Flag("incoming", call.incoming)
      .Number("duration", call.duration)
      .Text("date", call.date)
      .Text("address", call.address)
      .Text("name", call.name)
      .Take();
}

std::string RecordJson(const apps::NoteItem& note) {
  return JsonObject()
      .Flag("deleted", note.deleted)
      .Number("noteKey", note.noteKey)
      .Text("date", note.date)
      .Text("title", note.title)
      .Text("content", note.content)
      .Text("modified", note.modified)
      .Text("folder", note.folder)
      .Flag("locked", note.locked)
      .Take();
}

std::string RecordJson(const apps::ChatMessageItem& message) {
  return JsonObject()
      .Flag("deleted", message.deleted)
      .Flag("fromMe", message.fromMe)
      .Number("messageId", message.messageId)
      .Number("chatSessionId", message.chatSessionId)
      .Number("groupMemberId", message.groupMemberId)
      .Number("mediaItemId", message.mediaItemId)
      .Text("date", message.date)
      .Text("senderName", message.senderName)
      .Text("text", message.text)
      .Text("senderJid", message.senderJid)
      .Text("chatNames", message.chatNames)
      .Text("chatJids", message.chatJids)
      .Text("chatTitle", message.chatTitle)
      .Take();
}

std::string RecordJson(const FileItem& file, std::string_view exportedPath, std::string_view exportedVideoPath) {
  return JsonObject()
      .Flag("deleted", file.deleted ? 1 : 0)
      .Text("name", file.name)
      .Number("size", static_cast<std::int64_t>(file.size))
      .Text("path", file.path)
      .Text("app", file.app)
      .Text("exportedPath", exportedPath)
      .Text("originalName", file.originalName)
      .Text("created", file.created)
      .Text("trashed", file.trashed)
      .Text("pairedVideo", file.pairedVideo ? file.pairedVideo->name : std::string())
      .Text("exportedVideoPath", exportedVideoPath)
      .Take();
}

void JsonArrayFile::Add(std::string_view object) {
  if (!m_opened) {
    m_opened = true;
    m_error = m_file.Open(m_path);
    m_file.Write("[\n");
  } else {
    m_file.Write(",\n");
  }
  m_file.Write(object);
}

std::error_code JsonArrayFile::Finish() {
  if (!m_opened) return {};
  m_file.Write("\n]\n");
  const std::error_code closed = m_file.Close();
  return m_error ? m_error : closed;
}

}  // namespace scrivel
