#include "core/recovery/stored_file_check.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/common/result_codes.h"

namespace scrivel {

StoredFileCheck CheckStoredFile(const std::string& path) {
  StoredFileCheck check;
  if (path.empty()) return check;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return check;
    check.state = StoredFileState::kUnreadable;
    check.systemError = LastSystemError();
    return check;
  }
  if (S_ISLNK(status.st_mode)) {
    check.state = StoredFileState::kLink;
  } else if (S_ISDIR(status.st_mode)) {
    check.state = StoredFileState::kFolder;
  } else if (!S_ISREG(status.st_mode)) {
    check.state = StoredFileState::kNotRegular;
  } else {
    check.state = status.st_size == 0 ? StoredFileState::kEmpty : StoredFileState::kPresent;
  }
  return check;
}

std::string StoredFileProblem(const StoredFileCheck& check, std::string_view what) {
  const std::string subject(what);
  switch (check.state) {
    case StoredFileState::kPresent: return {};
    case StoredFileState::kMissing: return subject + " is missing from the backup";
    case StoredFileState::kEmpty: return subject + " in the backup is empty";
    case StoredFileState::kFolder: return subject + " in the backup is a folder, not a file";
    case StoredFileState::kLink: return subject + " in the backup is a symbolic link, which is not followed";
    case StoredFileState::kNotRegular: return subject + " in the backup is not a regular file";
    case StoredFileState::kUnreadable: return subject + " cannot be read: " + check.systemError.message();
  }
  return {};
}

std::uint64_t CountMissingStoredFiles(const std::vector<std::string>& paths) {
  std::uint64_t missing = 0;
  for (const std::string& path : paths) {
    const StoredFileState state = CheckStoredFile(path).state;
    if (state == StoredFileState::kMissing || state == StoredFileState::kEmpty) ++missing;
  }
  return missing;
}

}  // namespace scrivel
