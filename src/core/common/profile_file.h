// Reads and writes profile files ("config.ini" and the language files):
// "[Section]" headers followed by key=value lines.
//
// A line is split at its first "=": the key is the text before it and the
// value everything after it ("k=a=b" gives key "k", value "a=b"). A line
// without "=" is both key and value. Blank lines and lines starting with ";"
// are skipped; lines before the first section header belong to no section and
// are ignored. Files may be UTF-8 (with or without a byte-order mark) or
// UTF-16 with a byte-order mark; text is returned as UTF-8.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scrivel {

using ProfileLine = std::pair<std::string, std::string>;  // key, value

struct ProfileSection {
  std::string name;
  std::vector<ProfileLine> lines;  // in file order, duplicates kept
};

// Parses profile text (already decoded to UTF-8). Sections are returned in
// file order; a section header that occurs twice yields two entries.
std::vector<ProfileSection> ParseProfileText(std::string_view text);

// Reads a profile file and decodes it to UTF-8 text. Returns an empty string
// when the file is missing, unreadable or holds invalid UTF-16.
std::string ReadProfileFileText(const std::filesystem::path& path);

// Reads and parses a profile file; a missing file gives no sections.
std::vector<ProfileSection> ReadProfileFile(const std::filesystem::path& path);

// Sets key in section of the file at path to value, keeping every other line
// as it was; creates the section, the key or the file when missing. The file
// is written as UTF-8. Returns false when the file cannot be written.
bool WriteProfileValue(const std::filesystem::path& path, std::string_view section, std::string_view key,
                       std::string_view value);

}  // namespace scrivel
