// Tells what lies at a stored file's path in a backup folder, without
// opening it (a FIFO there would block an open), so that a scan can say
// why a category is empty: the file is missing, empty, a folder, a link,
// or cannot be read. A backup copied in part, a file that failed to copy,
// or a placeholder all leave such gaps; none of them may end a scan.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace scrivel {

enum class StoredFileState {
  kPresent,     // a regular file with content
  kMissing,     // nothing at the path
  kEmpty,       // a regular file of 0 bytes
  kFolder,      // a folder where the file should be
  kLink,        // a symbolic link: never followed out of a backup
  kNotRegular,  // a FIFO, socket or device node
  kUnreadable,  // the operating system refuses to tell (systemError says why)
};

struct StoredFileCheck {
  StoredFileState state = StoredFileState::kMissing;
  std::error_code systemError;  // set for kUnreadable
};

// Looks at `path` with lstat. An empty path is kMissing.
StoredFileCheck CheckStoredFile(const std::string& path);

// A sentence on why the file `what` ("the message database") cannot be used,
// e.g. "the message database is missing from the backup"; empty for a
// present file.
std::string StoredFileProblem(const StoredFileCheck& check, std::string_view what);

// The number of `paths` (stored files the manifest lists) that are absent
// from the backup folder or empty.
std::uint64_t CountMissingStoredFiles(const std::vector<std::string>& paths);

}  // namespace scrivel
