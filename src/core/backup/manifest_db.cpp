#include "core/backup/manifest_db.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/common/result_codes.h"
#include "core/common/sqlite_uri.h"

namespace scrivel {
namespace {

constexpr char kFilesQuery[] = "select fileID,domain, relativePath from Files;";

struct DatabaseCloser {
  void operator()(sqlite3* database) const { sqlite3_close(database); }
};
struct SqliteMessageFreer {
  void operator()(char* message) const { sqlite3_free(message); }
};

// Row callback: values[0] is fileID, then the name parts joined by "-".
int CollectRow(void* context, int columnCount, char** values, char** /*columnNames*/) {
  auto& entries = *static_cast<std::vector<ManifestEntry>*>(context);
  ManifestEntry& entry = entries.emplace_back();
  if (columnCount > 0 && values[0] != nullptr) entry.fileId = values[0];
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

}  // namespace

int LoadManifestDb(const std::filesystem::path& path, std::vector<ManifestEntry>& out) {
  out.clear();
  sqlite3* rawDatabase = nullptr;
  const int openResult = sqlite3_open_v2(ReadOnlySqliteUri(path.string()).c_str(), &rawDatabase,
                                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  const std::unique_ptr<sqlite3, DatabaseCloser> database(rawDatabase);
  if (openResult != SQLITE_OK) return openResult;

  char* rawMessage = nullptr;
  const int queryResult = sqlite3_exec(database.get(), kFilesQuery, CollectRow, &out, &rawMessage);
  const std::unique_ptr<char, SqliteMessageFreer> message(rawMessage);
  if (queryResult != SQLITE_OK || message) return kQueryError;
  return kOk;
}

}  // namespace scrivel
