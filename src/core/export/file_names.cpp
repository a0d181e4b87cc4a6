#include "core/export/file_names.h"

#include <algorithm>
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

bool UniquePathPicker::IsTaken(const std::string& path) const {
  return m_pickedForLater.count(path) != 0 || PathExists(path);
}

std::string UniquePathPicker::PickForLater(const std::string& path) {
  std::string picked = Pick(path);
  if (!picked.empty()) m_pickedForLater.insert(picked);
  return picked;
}

std::string UniquePathPicker::Pick(const std::string& path) {
  if (!IsTaken(path)) return path;
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) dot = path.size();
  const std::string_view stem = std::string_view(path).substr(0, dot);
  const std::string_view extension = std::string_view(path).substr(dot);
  // Counters below the one handed out last for this name were all taken
  // then, and files of the export are only ever added.
  int& next = m_nextCounter[path];
  for (int n = std::max(next, 1); n <= kUniqueNameAttempts; ++n) {
    std::string candidate(stem);
    candidate += '(';
    candidate += std::to_string(n);
    candidate += ')';
    candidate += extension;
    if (!IsTaken(candidate)) {
      next = n;
      return candidate;
    }
  }
  next = kUniqueNameAttempts + 1;
  return {};
}

std::string MakeUniquePath(const std::string& path) { return UniquePathPicker().Pick(path); }

}  // namespace scrivel
