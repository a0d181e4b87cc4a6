#include "core/export/file_names.h"

#include <filesystem>
#include <system_error>

#include "core/common/utf8.h"

namespace scrivel {

namespace {

bool IsUnsafeByte(unsigned char c) { return c < 0x20 || c == 0x7F || c == '/' || c == '\\'; }

// Length of the longest prefix of `text` not longer than `limit` bytes that
// does not cut a UTF-8 sequence.
std::size_t Utf8Prefix(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
}

}  // namespace

std::string SafeFileName(std::string_view stem, std::string_view suffix) {
  std::string name = SanitizeUtf8(stem);
  for (char& c : name) {
    if (IsUnsafeByte(static_cast<unsigned char>(c))) c = '_';
  }
  const std::size_t reserved = suffix.size() + kUniqueCounterRoom;
  const std::size_t limit = reserved < kFileNameMax ? kFileNameMax - reserved : 1;
  name.resize(Utf8Prefix(name, limit));
  if (name.find_first_not_of('.') == std::string::npos) {
    // "", "." and ".." name no file of their own.
    name.assign(name.empty() ? 1 : name.size(), '_');
  }
  return name;
}

std::string MakeUniquePath(const std::string& path) {
  if (!PathExists(path)) return path;
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = path.size();
  const std::string stem = path.substr(0, dot);
  const std::string extension = path.substr(dot);
  for (int n = 1; n <= kUniqueNameAttempts; ++n) {
    std::string candidate = stem + "(" + std::to_string(n) + ")" + extension;
    if (!PathExists(candidate)) return candidate;
  }
  return {};
}

}  // namespace scrivel
