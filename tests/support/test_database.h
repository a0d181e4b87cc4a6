// Helpers of the page-reader tests: a temporary folder, small databases
// written with the real SQLite library (secure_delete off, so deleted rows
// stay in the file), and verbs that read and damage a file's bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace scrivel::sqlite::testing {

// A folder under the system's temporary folder, removed with its content.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::filesystem::path Path(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Creates `path` with the given page size (and auto-vacuum off) and runs
// `sql` on it. Fails the current test when SQLite rejects a statement.
void CreateDatabase(const std::filesystem::path& path, std::uint32_t pageSize, const std::string& sql);

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Big-endian stores into a byte buffer.
void Put16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

// Sets the time zone for date formatting.
void SetTimeZone(const char* zone);

}  // namespace scrivel::sqlite::testing
