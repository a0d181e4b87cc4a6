#include "core/backup/decryption_output.h"

#include <algorithm>
#include <charconv>

#include "core/backup/decryption_tool_protocol.h"

namespace scrivel {

void DecryptionOutputReader::Feed(std::string_view chunk, const LineHandler& onLine) {
  while (!chunk.empty()) {
    const std::size_t room = kMaxToolLineSize - m_pending.size();
    const std::size_t end = chunk.find('\n');
    if (end != std::string_view::npos && end <= room) {
      m_pending.append(chunk.substr(0, end));
      chunk.remove_prefix(end + 1);
      if (!m_pending.empty() && m_pending.back() == '\r') m_pending.pop_back();
      onLine(m_pending);
      m_pending.clear();
      continue;
    }
    const std::size_t take = std::min(room, chunk.size());
    m_pending.append(chunk.substr(0, take));
    chunk.remove_prefix(take);
    if (m_pending.size() == kMaxToolLineSize) {
      onLine(m_pending);
      m_pending.clear();
    }
  }
}

void DecryptionOutputReader::Finish(const LineHandler& onLine) {
  if (m_pending.empty()) return;
  onLine(m_pending);
  m_pending.clear();
}

ToolLine ClassifyToolLine(std::string_view line) {
  ToolLine result;
  if (line.find(kToolWrongPasswordText) != std::string_view::npos) {
    result.kind = ToolLine::Kind::kWrongPassword;
    return result;
  }
  if (const std::size_t at = line.find(kToolCountMarker); at != std::string_view::npos) {
    std::string_view number = line.substr(at + kToolCountMarker.size());
    while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
    std::uint64_t count = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), count);
    if (ec == std::errc() && end != number.data()) {
      result.kind = ToolLine::Kind::kCount;
      result.count = count;
    }
    return result;
  }
  if (line.starts_with(kToolKeyMarker)) {
    std::string_view key = line.substr(kToolKeyMarker.size());
    while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
    result.kind = ToolLine::Kind::kKey;
    result.key = key;
  }
  return result;
}

}  // namespace scrivel
