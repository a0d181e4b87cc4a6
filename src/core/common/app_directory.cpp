#include "core/common/app_directory.h"

#include <filesystem>
#include <system_error>

namespace scrivel {

const std::string& GetAppDirectory() {
  static const std::string directory = [] {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::string();
    std::string folder = executable.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
  }();
  return directory;
}

}  // namespace scrivel
