#include "support/live_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace scrivel::sqlite::testing {

LiveDatabase::LiveDatabase(const std::filesystem::path& path, std::uint32_t pageSize, const std::string& journalMode)
    : m_path(path) {
  std::filesystem::remove(path);
  EXPECT_EQ(sqlite3_open(path.c_str(), &m_db), SQLITE_OK);
  Exec("PRAGMA page_size=" + std::to_string(pageSize) +
       "; PRAGMA auto_vacuum=NONE; PRAGMA secure_delete=OFF; PRAGMA journal_mode=" + journalMode +
       "; PRAGMA wal_autocheckpoint=0;");
}

LiveDatabase::~LiveDatabase() { sqlite3_close(m_db); }

void LiveDatabase::Exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  ASSERT_EQ(rc, SQLITE_OK) << message << " in: " << sql;
}

void LiveDatabase::CopyTo(const std::filesystem::path& copy) const {
  const auto options = std::filesystem::copy_options::overwrite_existing;
  std::filesystem::copy_file(m_path, copy, options);
  for (const char* ending : {"-wal", "-journal"}) {
    const std::filesystem::path beside = m_path.string() + ending;
    const std::filesystem::path copyBeside = copy.string() + ending;
    std::filesystem::remove(copyBeside);
    if (std::filesystem::exists(beside)) std::filesystem::copy_file(beside, copyBeside, options);
  }
}

}  // namespace scrivel::sqlite::testing
