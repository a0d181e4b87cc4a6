#include "support/test_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

namespace scrivel::sqlite::testing {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  m_path = std::filesystem::temp_directory_path() /
           ("scrivel-test-sqlite-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(m_path);
  std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

void CreateDatabase(const std::filesystem::path& path, std::uint32_t pageSize, const std::string& sql) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string setup = "PRAGMA page_size=" + std::to_string(pageSize) +
                            "; PRAGMA auto_vacuum=NONE; PRAGMA secure_delete=OFF; PRAGMA journal_mode=DELETE;"
                            " PRAGMA synchronous=OFF;";
  char* error = nullptr;
  const int rc = sqlite3_exec(db, (setup + sql).c_str(), nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << message;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Put16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value >> 8);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value);
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  Put16(bytes, offset, static_cast<std::uint16_t>(value >> 16));
  Put16(bytes, offset + 2, static_cast<std::uint16_t>(value));
}

void SetTimeZone(const char* zone) {
  ::setenv("TZ", zone, 1);
  ::tzset();
}

}  // namespace scrivel::sqlite::testing
