// The list of stored files to decrypt, read from the backup's manifest:
// the decrypted Manifest.db (iOS 10 and later) or Manifest.mbdb (iOS 4 to 9).
#pragma once

#include <system_error>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/crypto/class_keys.h"
#include "tools/decrypt/tool_console.h"

namespace scrivel::decrypt_tool {

struct StoredFileJob {
  std::string fileId;                 // 40 hexadecimal digits (checked), the output file's name
  std::filesystem::path source;       // the encrypted stored file in the backup folder
  std::uint64_t manifestSize = 0;     // the plain length the manifest gives
  std::optional<crypto::WrappedFileKey> key;  // absent for zero-length files
};

// What was read from a manifest: the jobs, and how many file records could
// not become a job (each one is reported on the console as it is found).
struct StoredFileList {
  std::vector<StoredFileJob> jobs;
  std::uint64_t rejectedRecords = 0;
};

// Reads the Files table of the plain manifest database `manifestDb` (opened
// read-only) and keeps the rows with flags 1 (a regular file). Stored files
// are looked up in two-character subfolders of `backupFolder`, then flat.
// Returns success, or kBadFile with `error` set when the database or its Files
// table cannot be read.
[[nodiscard]] std::error_code ListFilesFromManifestDb(const std::filesystem::path& manifestDb,
                                          const std::filesystem::path& backupFolder, ToolConsole& console,
                                          StoredFileList& out, std::string& error);

// Reads `mbdbPath` and keeps the records of regular files, whose identifier is
// the SHA-1 of domain + "-" + path; stored files lie flat in `backupFolder`. A
// record that runs past the end ends the list (the records before it stay).
// Returns success, or kBadFile / kMbdbUnopenable with `error` set.
[[nodiscard]] std::error_code ListFilesFromMbdb(const std::filesystem::path& mbdbPath, const std::filesystem::path& backupFolder,
                                    ToolConsole& console, StoredFileList& out, std::string& error);

}  // namespace scrivel::decrypt_tool
