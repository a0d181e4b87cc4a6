// Deletes temporary files, but only inside folders the application owns (the
// work folder and the temporary backup root). Whatever a list of paths holds,
// a path outside those folders, or one that reaches outside through "..", is
// never deleted: the user's backup is never touched.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace scrivel {

// True iff path lies strictly inside folder once both are made absolute and
// normalised (symbolic links in existing parents resolved).
bool IsInsideFolder(const std::string& path, const std::string& folder);

// Deletes the file or empty folder at path when it lies inside one of
// ownedFolders; returns true when something was deleted.
bool RemoveOwnedFile(const std::string& path, const std::vector<std::string>& ownedFolders);

// Deletes every plain file directly in folder, when folder is one of
// ownedFolders or lies inside one; sub-folders are left alone. Returns how
// many files were deleted.
std::size_t RemoveOwnedFilesIn(const std::string& folder, const std::vector<std::string>& ownedFolders);

// Deletes what a run keeps in the application's own folders while it works:
// the decrypted copies of a backup's files in the decryption output folder
// of `temporaryRoot`, and the preview copies in `workFolder`. A run that was
// killed could not do it; the next one does. Returns how many files were
// deleted.
std::size_t RemoveRunLeftovers(const std::string& workFolder, const std::string& temporaryRoot);

}  // namespace scrivel
