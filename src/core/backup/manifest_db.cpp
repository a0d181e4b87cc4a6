#include "core/backup/manifest_db.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/common/sqlite_uri.h"
#include "core/common/unique_fd.h"

namespace scrivel {
namespace {

// The flags column tells files (1) from folders (2) and links (4); a
// manifest without it is read with the second query, every entry a file.
constexpr char kFilesQuery[] = "select fileID, domain, relativePath, flags from Files;";
constexpr char kFilesQueryWithoutFlags[] = "select fileID, domain, relativePath from Files;";
constexpr int kColumnCountWithFlags = 4;
constexpr char kFileFlag[] = "1";

struct DatabaseCloser {
  void operator()(sqlite3* database) const { sqlite3_close(database); }
};
struct SqliteMessageFreer {
  void operator()(char* message) const { sqlite3_free(message); }
};

// Row callback: values[0] is fileID, then the name parts joined by "-",
// then the flags when the query asked for them.
int CollectRow(void* context, int columnCount, char** values, char** /*columnNames*/) {
  auto& entries = *static_cast<std::vector<ManifestEntry>*>(context);
  ManifestEntry& entry = entries.emplace_back();
  if (columnCount > 0 && values[0] != nullptr) entry.fileId = values[0];
  if (columnCount == kColumnCountWithFlags) {
    --columnCount;
    entry.storedFile = values[columnCount] != nullptr && std::strcmp(values[columnCount], kFileFlag) == 0;
  }
  std::size_t nameSize = 0;
  for (int column = 1; column < columnCount; ++column) {
    nameSize += (column > 1 ? 1 : 0) + (values[column] != nullptr ? std::strlen(values[column]) : 0);
  }
  entry.name.reserve(nameSize);
  for (int column = 1; column < columnCount; ++column) {
    if (column > 1) entry.name += '-';
    if (values[column] != nullptr) entry.name += values[column];
  }
  return 0;
}

// Runs `query` over the Files table, appending its rows; false when the
// query could not run to its end.
bool RunFilesQuery(sqlite3* database, const char* query, std::vector<ManifestEntry>& out) {
  char* rawMessage = nullptr;
  const int queryResult = sqlite3_exec(database, query, CollectRow, &out, &rawMessage);
  const std::unique_ptr<char, SqliteMessageFreer> message(rawMessage);
  return queryResult == SQLITE_OK && !message;
}

}  // namespace

std::error_code LoadManifestDb(const std::filesystem::path& path, std::vector<ManifestEntry>& out, bool* incomplete) {
  out.clear();
  if (incomplete != nullptr) *incomplete = false;
  // The library would follow a symbolic link and wait in open() on a FIFO:
  // only a regular file is handed to it.
  UniqueFd checked;
  if (OpenRegularFileForReading(path.string(), checked)) return kBadFile;
  sqlite3* rawDatabase = nullptr;
  const int openResult = sqlite3_open_v2(ReadOnlySqliteUri(path.string()).c_str(), &rawDatabase,
                                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOFOLLOW, nullptr);
  const std::unique_ptr<sqlite3, DatabaseCloser> database(rawDatabase);
  if (openResult != SQLITE_OK) return kBadFile;  // missing, unreadable or not a database

  bool failed = !RunFilesQuery(database.get(), kFilesQuery, out);
  if (failed && out.empty()) failed = !RunFilesQuery(database.get(), kFilesQueryWithoutFlags, out);
  if (!failed) return {};
  // A damaged manifest still names the files of the rows read before the
  // damage; the backup opens with those.
  if (out.empty()) return kQueryError;
  if (incomplete != nullptr) *incomplete = true;
  return {};
}

}  // namespace scrivel
