#include "core/backup/info_plist.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/backup/backup_date.h"
#include "core/backup/encryption_check.h"
#include "core/common/plist_load.h"
#include "core/common/result_codes.h"
#include "core/common/utf8.h"

namespace scrivel {
namespace {

constexpr std::string_view kDisplayNameKey = "<key>Display Name</key>";
constexpr std::string_view kLastBackupDateKey = "<key>Last Backup Date</key>";
constexpr std::string_view kPhoneNumberKey = "<key>Phone Number</key>";
constexpr std::string_view kSerialNumberKey = "<key>Serial Number</key>";

// Hands out the lines of a text one by one, without their "\n" or "\r\n".
class LineReader {
 public:
  explicit LineReader(std::string_view text) : m_rest(text) {}

  bool Next(std::string_view& line) {
    if (m_rest.empty()) return false;
    const std::size_t end = m_rest.find('\n');
    line = m_rest.substr(0, end);
    m_rest = end == std::string_view::npos ? std::string_view{} : m_rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }

 private:
  std::string_view m_rest;  // text not handed out yet
};

// The text between the first `openTag` and the first `closeTag` of `line`
// (to the end of the line when the closing tag is missing). False when the
// part before the closing tag has no opening tag.
bool ElementText(std::string_view line, std::string_view openTag, std::string_view closeTag,
                 std::string_view& text) {
  const std::string_view beforeClose = line.substr(0, line.find(closeTag));
  const std::size_t open = beforeClose.find(openTag);
  if (open == std::string_view::npos) return false;
  text = beforeClose.substr(open + openTag.size());
  return true;
}

// Decodes "&#NNN;" or "&#xHHH;" (the text between "&#" and ";"). False for
// anything that is not a valid Unicode scalar value.
bool DecodeCharacterReference(std::string_view digits, std::string& out) {
  int base = 10;
  if (!digits.empty() && (digits.front() == 'x' || digits.front() == 'X')) {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 8) return false;
  std::uint32_t codePoint = 0;
  for (const char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return false;
    codePoint = codePoint * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return false;
  AppendUtf8(codePoint, out);
  return true;
}

// Replaces the XML escapes of a text element by the characters they stand
// for. An "&" that starts no known escape is kept as it stands.
std::string DecodeXmlText(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kNamedEscapes[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t semicolon = text[i] == '&' ? text.find(';', i + 1) : std::string_view::npos;
    if (semicolon == std::string_view::npos) {
      out += text[i++];
      continue;
    }
    const std::string_view name = text.substr(i + 1, semicolon - i - 1);
    bool decoded = false;
    if (!name.empty() && name.front() == '#') {
      decoded = DecodeCharacterReference(name.substr(1), out);
    } else {
      for (const auto& [escape, character] : kNamedEscapes) {
        if (name == escape) {
          out += character;
          decoded = true;
          break;
        }
      }
    }
    if (decoded) {
      i = semicolon + 1;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string StringValue(std::string_view valueLine) {
  std::string_view text;
  if (!ElementText(valueLine, "<string>", "</string>", text)) return {};
  return DecodeXmlText(text);
}

// "2016-05-12T02:30:00Z" -> local standard time; the cut text itself when it
// does not convert.
std::string DateValue(std::string_view valueLine, long biasMinutes) {
  std::string_view element;
  if (!ElementText(valueLine, "<date>", "</date>", element)) return {};
  std::string text(element);
  if (const std::size_t t = text.find('T'); t != std::string::npos) text[t] = ' ';
  text = text.substr(0, text.find('Z'));
  std::string converted = FormatBackupDate(text, biasMinutes);
  return converted.empty() ? text : converted;
}

// The line rules of the file comment.
void ReadSummaryLines(std::string_view text, long biasMinutes, BackupInfo& out) {
  LineReader lines(text);
  std::string_view line;
  std::string_view valueLine;
  while (lines.Next(line)) {
    std::string* field = nullptr;
    bool isDate = false;
    bool isLastKey = false;
    if (line.find(kDisplayNameKey) != std::string_view::npos) {
      field = &out.displayName;
    } else if (line.find(kLastBackupDateKey) != std::string_view::npos) {
      field = &out.lastBackupDate;
      isDate = true;
    } else if (line.find(kPhoneNumberKey) != std::string_view::npos) {
      field = &out.phoneNumber;
    } else if (line.find(kSerialNumberKey) != std::string_view::npos) {
      field = &out.serialNumber;
      isLastKey = true;
    } else {
      continue;
    }
    if (!lines.Next(valueLine)) break;  // the key was the last line: its field stays empty
    *field = isDate ? DateValue(valueLine, biasMinutes) : StringValue(valueLine);
    if (isLastKey) break;
  }
}

std::error_code ReadSummaryFromPlist(std::span<const std::uint8_t> bytes, long biasMinutes, BackupInfo& out,
                                     std::string& problem) {
  PlistPtr root;
  if (const std::error_code parsed = ParseCheckedPlist(bytes, root, problem)) return parsed;
  plist_t dictionary = root.get();
  out.displayName = PlistStringValue(dictionary, "Display Name").value_or("");
  out.phoneNumber = PlistStringValue(dictionary, "Phone Number").value_or("");
  out.serialNumber = PlistStringValue(dictionary, "Serial Number").value_or("");
  if (const auto date = PlistUnixDateValue(dictionary, "Last Backup Date")) {
    out.lastBackupDate = FormatBackupTime(*date, biasMinutes);
  }
  return {};
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::error_code ReadInfoPlistSummary(std::span<const std::uint8_t> bytes, long biasMinutes, BackupInfo& out,
                                     std::string& problem) {
  problem.clear();
  out.displayName.clear();
  out.lastBackupDate.clear();
  out.phoneNumber.clear();
  out.serialNumber.clear();
  if (!IsBinaryPlist(bytes)) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    ReadSummaryLines(text, biasMinutes, out);
    const bool foundAny = !out.displayName.empty() || !out.lastBackupDate.empty() || !out.phoneNumber.empty() ||
                          !out.serialNumber.empty();
    if (foundAny) return {};
  }
  return ReadSummaryFromPlist(bytes, biasMinutes, out, problem);
}

namespace {

// ReadBackupInfo, with the reading error as it came (ENOENT when the folder
// has no Info.plist) and the sentence that names the file.
std::error_code ReadBackupInfoOf(const std::filesystem::path& folder, BackupInfo& out, std::string& problem) {
  const std::filesystem::path path = folder / "Info.plist";
  std::vector<std::uint8_t> bytes;
  std::string reason;
  BackupInfo info;
  std::error_code result = ReadPlistBytes(path, bytes, reason);
  if (!result) result = ReadInfoPlistSummary(bytes, StandardTimeBiasMinutes(), info, reason);
  if (result) {
    problem = "'" + path.string() + "' cannot be used: " + reason;
    return result;
  }
  info.folderPath = WithoutTrailingSlash(folder.string());
  info.encrypted = IsBackupEncrypted(folder);
  out = std::move(info);
  return {};
}

}  // namespace

std::error_code ReadBackupInfo(const std::filesystem::path& folder, BackupInfo& out, std::string* problem) {
  std::string reason;
  if (const std::error_code read = ReadBackupInfoOf(folder, out, reason)) {
    if (problem != nullptr) *problem = std::move(reason);
    return kBadFile;
  }
  return {};
}

void ReadAllBackupInfo(const std::vector<std::filesystem::path>& folders, std::vector<BackupInfo>& out,
                       std::vector<std::string>* problems) {
  for (const std::filesystem::path& folder : folders) {
    BackupInfo info;
    std::string problem;
    const std::error_code read = ReadBackupInfoOf(folder, info, problem);
    if (!read) {
      out.push_back(std::move(info));
    } else if (problems != nullptr && read != std::errc::no_such_file_or_directory &&
               read != std::errc::not_a_directory) {
      problems->push_back(std::move(problem));  // a plain file, or a folder without Info.plist, is not a backup
    }
  }
}

}  // namespace scrivel
