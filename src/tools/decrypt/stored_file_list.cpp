#include "tools/decrypt/stored_file_list.h"

#include <memory>

#include <sqlite3.h>

#include "core/backup/file_bytes.h"
#include "core/backup/file_id.h"
#include "core/backup/mbdb_reader.h"
#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/common/unique_fd.h"
#include "core/crypto/hex.h"
#include "core/crypto/mbfile_archive.h"

namespace scrivel::decrypt_tool {
namespace {

constexpr std::int64_t kManifestFlagsRegularFile = 1;  // Files.flags: 1 file, 2 directory, 4 symbolic link

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// Reads the wrapped key of one record; false (and a console line) when it is
// present but not 44 bytes long.
bool ReadWrappedKey(const std::vector<std::uint8_t>& bytes, const std::string& fileId, ToolConsole& console,
                    StoredFileJob& job) {
  if (bytes.empty()) return true;
  crypto::WrappedFileKey key;
  if (!crypto::ParseWrappedFileKey(bytes, key)) {
    console.Line("Failed: " + fileId + " encryption key has a wrong length");
    return false;
  }
  job.key = key;
  return true;
}

}  // namespace

std::error_code ListFilesFromManifestDb(const std::filesystem::path& manifestDb, const std::filesystem::path& backupFolder,
                            ToolConsole& console, JobList& out, std::string& error) {
  // The library would follow a symbolic link and wait in open() on a FIFO:
  // only a regular file is handed to it.
  UniqueFd checked;
  if (OpenRegularFileForReading(manifestDb.string(), checked)) {
    error = "the manifest database is not a regular file";
    return kBadFile;
  }
  sqlite3* rawDb = nullptr;
  const int openRc = sqlite3_open_v2(manifestDb.c_str(), &rawDb, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr);
  std::unique_ptr<sqlite3, DatabaseCloser> db(rawDb);
  if (openRc != SQLITE_OK) {
    error = "the manifest database cannot be opened";
    return kBadFile;
  }
  // Mapped instead of read page by page: the manifest of a large backup is
  // tens of megabytes, and a read per page costs more than the rows.
  sqlite3_exec(db.get(), "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr);
  sqlite3_stmt* rawStatement = nullptr;
  if (sqlite3_prepare_v2(db.get(), "SELECT fileID, flags, file FROM Files", -1, &rawStatement, nullptr) != SQLITE_OK) {
    error = "the manifest database has no readable Files table";
    return kBadFile;
  }
  std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(rawStatement);

  const std::string folder = backupFolder.string() + "/";
  std::uint64_t rowNumber = 0;
  int stepRc = SQLITE_ROW;
  while ((stepRc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    ++rowNumber;
    if (sqlite3_column_int64(statement.get(), 1) != kManifestFlagsRegularFile) continue;
    const auto* idText = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    const std::string fileId = idText == nullptr ? std::string() : std::string(idText);
    // The identifier becomes a file name: anything but 40 hex digits could
    // point outside the output folder, and is never echoed.
    if (!crypto::IsFileIdentifier(fileId)) {
      console.Line("Failed: row " + std::to_string(rowNumber) + " has an invalid file identifier");
      out.Reject();
      continue;
    }
    const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement.get(), 2));
    const int blobSize = sqlite3_column_bytes(statement.get(), 2);
    crypto::MbFileProperties properties;
    std::string reason;
    if (blob == nullptr ||
        crypto::ParseMbFileArchive({blob, static_cast<std::size_t>(blobSize)}, properties, reason)) {
      console.Line("Failed: " + fileId + " " + (blob == nullptr ? std::string("has no file record") : reason));
      out.Reject();
      continue;
    }
    // iOS 10 and later keep a stored file in the subfolder named by the first
    // two digits of its identifier; earlier layouts and some copying tools
    // keep it flat. Plain strings: building file-system paths for thousands
    // of files would keep the manifest reader behind the workers.
    StoredFileJob job{fileId, folder + fileId.substr(0, 2) + "/" + fileId, folder + fileId, properties.size,
                      std::nullopt};
    if (!ReadWrappedKey(properties.encryptionKey, fileId, console, job)) {
      out.Reject();
      continue;
    }
    out.Add(std::move(job));
  }
  if (stepRc != SQLITE_DONE) {
    error = "the manifest database is damaged after row " + std::to_string(rowNumber);
    return kBadFile;
  }
  return {};
}

std::error_code ListFilesFromMbdb(const std::filesystem::path& mbdbPath, const std::filesystem::path& backupFolder,
                      ToolConsole& console, JobList& out, std::string& error) {
  std::vector<std::uint8_t> bytes;
  const FileReadError readError = ReadWholeFile(mbdbPath, bytes);
  if (readError == FileReadError::kCannotOpen) {
    error = "Manifest.mbdb cannot be opened";
    return kMbdbUnopenable;
  }
  if (readError != FileReadError::kNone) {
    error = "Manifest.mbdb cannot be read";
    return kBadFile;
  }
  std::vector<MbdbRecord> records;
  const std::error_code parseRc = ParseMbdb(bytes, records);
  if (parseRc && records.empty()) {
    error = "Manifest.mbdb is not a manifest";
    return kBadFile;
  }
  if (parseRc) {
    console.Line("Damaged: Manifest.mbdb ends inside a record; files after record " + std::to_string(records.size()) +
                 " are not listed");
    out.Reject();
  }

  for (const MbdbRecord& record : records) {
    if (!record.IsRegularFile()) continue;
    const std::string fileId = ComputeFileId(record.domain, record.path);
    StoredFileJob job{fileId, (backupFolder / fileId).string(), {}, record.size, std::nullopt};
    if (!ReadWrappedKey(record.encryptionKey, fileId, console, job)) {
      out.Reject();
      continue;
    }
    out.Add(std::move(job));
  }
  return {};
}

}  // namespace scrivel::decrypt_tool
