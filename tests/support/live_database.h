// A database held open with the real SQLite library, so that the files a
// connection keeps beside it (the write-ahead log, the rollback journal)
// can be copied while they still exist: closing the connection would
// checkpoint and delete them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct sqlite3;

namespace scrivel::sqlite::testing {

class LiveDatabase {
 public:
  // Creates `path` with the given page size, auto-vacuum and secure delete
  // off, in `journalMode` ("WAL" or "DELETE"); in WAL mode nothing is
  // checkpointed on its own. Fails the current test when SQLite refuses.
  LiveDatabase(const std::filesystem::path& path, std::uint32_t pageSize, const std::string& journalMode);
  ~LiveDatabase();
  LiveDatabase(const LiveDatabase&) = delete;
  LiveDatabase& operator=(const LiveDatabase&) = delete;

  // Runs `sql`; fails the current test when SQLite rejects a statement.
  void Exec(const std::string& sql);

  // Copies the database file, and its "-wal" and "-journal" when they
  // exist, to `copy` (plus the same endings). Never copies "-shm".
  void CopyTo(const std::filesystem::path& copy) const;

 private:
  std::filesystem::path m_path;
  sqlite3* m_db = nullptr;
};

}  // namespace scrivel::sqlite::testing
