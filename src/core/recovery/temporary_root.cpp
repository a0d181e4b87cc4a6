#include "core/recovery/temporary_root.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "core/common/private_folder.h"

namespace scrivel {
namespace {

std::string withSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::int64_t freeBytes(const std::string& path) {
  std::error_code error;
  const std::filesystem::space_info space = std::filesystem::space(path, error);
  if (error) return -1;
  return static_cast<std::int64_t>(space.available);
}

// Mount points of file systems that can hold a backup: block-device and
// network file systems the user may write to (no proc, sys, tmpfs and the
// like, which live in memory or hold no files).
std::vector<std::string> writableMountPoints() {
  static const std::set<std::string> kFileSystems = {"ext2", "ext3", "ext4", "xfs",  "btrfs", "f2fs", "vfat",
                                                     "exfat", "ntfs", "ntfs3", "fuseblk", "nfs", "nfs4", "cifs",
                                                     "smb3", "zfs", "overlay"};
  std::vector<std::string> mountPoints;
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, type;
    if (!(fields >> device >> mountPoint >> type)) continue;
    if (kFileSystems.count(type) == 0 || ::access(mountPoint.c_str(), W_OK) != 0) continue;
    mountPoints.push_back(mountPoint);
  }
  return mountPoints;
}

}  // namespace

std::string ChooseTemporaryRootFrom(const std::string& appDataFolder, const std::string& workFolder,
                                    const std::vector<std::string>& mountPoints, const FreeSpaceQuery& freeSpace) {
  const std::int64_t appDataFree = freeSpace(appDataFolder);
  if (appDataFree >= 0 && static_cast<std::uint64_t>(appDataFree) >= kTemporaryRootMinimumFree) {
    return withSlash(workFolder) + kTemporaryRootName + "/";
  }
  std::string best;
  std::int64_t bestFree = -1;
  for (const std::string& mountPoint : mountPoints) {
    const std::int64_t available = freeSpace(mountPoint);
    if (available > bestFree) {
      bestFree = available;
      best = mountPoint;
    }
  }
  if (best.empty()) return {};
  return withSlash(best) + kTemporaryRootName + "/";
}

const std::string& ChooseTemporaryRoot(const std::string& appDataFolder, const std::string& workFolder) {
  static const std::string root = [&] {
    std::string chosen = ChooseTemporaryRootFrom(appDataFolder, workFolder, writableMountPoints(), freeBytes);
    if (!chosen.empty()) (void)CreatePrivateFolder(chosen);
    return chosen;
  }();
  return root;
}

}  // namespace scrivel
