#include "core/common/private_folder.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/common/result_codes.h"

namespace scrivel {

std::error_code CreatePrivateFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return kBadFile;
  std::error_code error;
  const std::filesystem::path parent = folder.parent_path();
  if (!parent.empty() && parent != folder && !std::filesystem::exists(parent, error)) {
    if (const std::error_code made = CreatePrivateFolder(parent)) return made;
  }
  // mkdir's mode is masked by the umask; chmod below sets it exactly.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return LastSystemError();
  if (!std::filesystem::is_directory(folder, error)) return error ? error : make_error_code(kBadFile);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace,
                               error);
  return error;
}

}  // namespace scrivel
