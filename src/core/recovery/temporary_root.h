// The temporary backup root: the folder that holds the decryption output, a
// device backup and copies of device databases. It needs room for a whole
// backup, so it goes where there is the most free space.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace scrivel {

// Free space a folder must offer for the root to stay under the work folder:
// 15 GiB plus one byte.
inline constexpr std::uint64_t kTemporaryRootMinimumFree = (std::uint64_t{15} << 30) + 1;

// Name of the root folder below the chosen place.
inline constexpr const char* kTemporaryRootName = "Vantoric_tmp_backup";

// Free bytes of the file system holding path; nullopt-like -1 when unknown.
using FreeSpaceQuery = std::function<std::int64_t(const std::string& path)>;

// Chooses the root: workFolder + kTemporaryRootName when the file system of
// appDataFolder has at least kTemporaryRootMinimumFree bytes free; otherwise
// the candidate mount point with the most free bytes (a later one wins only
// with strictly more) + "/" + kTemporaryRootName; empty when no candidate's
// space is known. Creates nothing. workFolder and the result end in "/".
std::string ChooseTemporaryRootFrom(const std::string& appDataFolder, const std::string& workFolder,
                                    const std::vector<std::string>& mountPoints, const FreeSpaceQuery& freeSpace);

// The process-wide root, chosen on the first call over the writable mount
// points of local and network file systems, and created with its parents.
// Later calls return the same text whatever their arguments.
const std::string& ChooseTemporaryRoot(const std::string& appDataFolder, const std::string& workFolder);

}  // namespace scrivel
