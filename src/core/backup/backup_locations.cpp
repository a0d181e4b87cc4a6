#include "core/backup/backup_locations.h"

#include <strings.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace scrivel {
namespace {

// The entry of `folder` named `name` without regard to ASCII case, or
// `folder`/`name` as written when there is none.
std::filesystem::path MatchFolderName(const std::filesystem::path& folder, const std::string& name) {
  std::error_code error;
  const std::filesystem::path exact = folder / name;
  if (std::filesystem::is_directory(exact, error)) return exact;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string entryName = it->path().filename().string();
    if (strcasecmp(entryName.c_str(), name.c_str()) == 0 && it->is_directory(error)) return it->path();
  }
  return exact;
}

}  // namespace

std::filesystem::path DefaultAppDataFolder() {
  if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome != nullptr && dataHome[0] == '/') {
    return dataHome;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home) / ".local" / "share";
  }
  return {};
}

std::filesystem::path WorkFolderIn(const std::filesystem::path& appDataFolder) {
  return appDataFolder / "VantoriciOSRecovery";
}

std::filesystem::path BackupsRootIn(const std::filesystem::path& appDataFolder) {
  std::filesystem::path root = appDataFolder;
  for (const char* name : {"Apple Computer", "MobileSync", "Backup"}) root = MatchFolderName(root, name);
  return root;
}

}  // namespace scrivel
