#include "core/common/profile_file.h"

#include <fstream>
#include <iterator>

#include "core/common/utf8.h"

namespace scrivel {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view trimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

std::string_view trimLineStart(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

// Splits text into lines at "\n"; the last line may lack it.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return Utf16ToUtf8(units);
}

bool isSectionHeader(std::string_view line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }

}  // namespace

std::vector<ProfileSection> ParseProfileText(std::string_view text) {
  std::vector<ProfileSection> sections;
  for (std::string_view line : splitLines(text)) {
    line = trimLineStart(trimLineEnd(line));
    if (line.empty() || line.front() == ';') continue;
    if (isSectionHeader(line)) {
      sections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
      continue;
    }
    if (sections.empty()) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      sections.back().lines.emplace_back(std::string(line), std::string(line));
    } else {
      sections.back().lines.emplace_back(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
    }
  }
  return sections;
}

std::string ReadProfileFileText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string_view view = bytes;
  if (view.starts_with("\xFF\xFE")) return decodeUtf16(view.substr(2), false);
  if (view.starts_with("\xFE\xFF")) return decodeUtf16(view.substr(2), true);
  if (view.starts_with(kUtf8Bom)) return std::string(view.substr(kUtf8Bom.size()));
  return bytes;
}

std::vector<ProfileSection> ReadProfileFile(const std::filesystem::path& path) {
  return ParseProfileText(ReadProfileFileText(path));
}

bool WriteProfileValue(const std::filesystem::path& path, std::string_view section, std::string_view key,
                       std::string_view value) {
  const std::string text = ReadProfileFileText(path);
  const std::string newLine = std::string(key) + "=" + std::string(value);
  std::string out;
  bool inSection = false;
  bool sectionSeen = false;
  bool written = false;
  for (std::string_view line : splitLines(text)) {
    const std::string_view trimmed = trimLineStart(trimLineEnd(line));
    if (isSectionHeader(trimmed)) {
      if (inSection && !written) {
        out += newLine + "\n";
        written = true;
      }
      inSection = trimmed.substr(1, trimmed.size() - 2) == section;
      sectionSeen = sectionSeen || inSection;
    } else if (inSection && !written && trimmed.substr(0, trimmed.find('=')) == key) {
      out += newLine + "\n";
      written = true;
      continue;
    }
    out.append(trimLineEnd(line));
    out += "\n";
  }
  if (!written) {
    if (!sectionSeen) out += "[" + std::string(section) + "]\n";
    out += newLine + "\n";
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << out;
  return static_cast<bool>(file.flush());
}

}  // namespace scrivel
