// The stored files to decrypt, read from the backup's manifest: the
// decrypted Manifest.db (iOS 10 and later) or Manifest.mbdb (iOS 4 to 9).
// Each reader adds its jobs to a JobList as it goes and leaves finishing the
// list to its caller.
#pragma once

#include <system_error>

#include <filesystem>
#include <string>

#include "tools/decrypt/job_list.h"
#include "tools/decrypt/tool_console.h"

namespace scrivel::decrypt_tool {

// Reads the Files table of the plain manifest database `manifestDb` (opened
// read-only) and adds the rows with flags 1 (a regular file). Stored files
// are looked for in two-character subfolders of `backupFolder`, then flat.
// Returns success, or kBadFile with `error` set when the database or its Files
// table cannot be read.
[[nodiscard]] std::error_code ListFilesFromManifestDb(const std::filesystem::path& manifestDb,
                                          const std::filesystem::path& backupFolder, ToolConsole& console,
                                          JobList& out, std::string& error);

// Reads `mbdbPath` and adds the records of regular files, whose identifier is
// the SHA-1 of domain + "-" + path; stored files lie flat in `backupFolder`. A
// record that runs past the end ends the list (the records before it stay).
// Returns success, or kBadFile / kMbdbUnopenable with `error` set.
[[nodiscard]] std::error_code ListFilesFromMbdb(const std::filesystem::path& mbdbPath, const std::filesystem::path& backupFolder,
                                    ToolConsole& console, JobList& out, std::string& error);

}  // namespace scrivel::decrypt_tool
