// Deletes temporary files, but only inside folders the application owns (the
// work folder and the temporary backup root). Whatever a list of paths holds,
// a path outside those folders, or one that reaches outside through "..", is
// never deleted: the user's backup is never touched.
#pragma once

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
// ownedFolders or lies inside one; sub-folders are left alone.
void RemoveOwnedFilesIn(const std::string& folder, const std::vector<std::string>& ownedFolders);

}  // namespace scrivel
