// Lists the entries of one folder the way the backup engine needs them:
// full paths, hidden dot-entries left out, with the sizes of the plain files
// added up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace scrivel {

struct FolderListing {
  std::vector<std::filesystem::path> entries;  // full paths, files and folders, sorted by name
  std::uint64_t byteTotal = 0;                 // sizes of the plain files; folders count 0
};

// Lists `folder`, skipping every entry whose name begins with ".". Returns
// false, with `out` empty, when the folder cannot be opened or read.
bool ListFolder(const std::filesystem::path& folder, FolderListing& out);

}  // namespace scrivel
