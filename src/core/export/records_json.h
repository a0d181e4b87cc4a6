// Machine-readable copies of exported records: one JSON object per record
// with every field (and `deleted`), collected per category into an array
// file "records.json". Strings are UTF-8 (ill-formed bytes become U+FFFD).
#pragma once

#include <system_error>

#include <string>
#include <string_view>

#include "core/common/json_text.h"
#include "core/export/output_file.h"
#include "core/recovery/file_item.h"
#include "core/apps/table_records.h"

namespace scrivel {

std::string RecordJson(const apps::MessageItem& message);
std::string RecordJson(const apps::ContactItem& contact);
std::string RecordJson(const apps::CallItem& call);
std::string RecordJson(const apps::NoteItem& note);
std::string RecordJson(const apps::ChatMessageItem& message);
// A stored file, with the path it was exported to and, for a Live Photo
// still, the path its movie was exported to. The camera-roll marks
// (deleted, original name, dates, paired movie) are empty for other files.
std::string RecordJson(const FileItem& file, std::string_view exportedPath, std::string_view exportedVideoPath = {});

// A JSON array written one object at a time: "[", the objects separated by
// ",", "]". The file is created with the first object.
class JsonArrayFile {
 public:
  explicit JsonArrayFile(std::string path) : m_path(std::move(path)) {}
  JsonArrayFile(const JsonArrayFile&) = delete;
  JsonArrayFile& operator=(const JsonArrayFile&) = delete;

  void Add(std::string_view object);
  // Ends the array. Returns success, or the error code of the first failure.
  [[nodiscard]] std::error_code Finish();
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  OutputFile m_file;
  bool m_opened = false;
  std::error_code m_error;
};

}  // namespace scrivel
