// File and folder names of the export. Names built from recovered text
// (contact names, addresses, chat labels, app ids, file names) are made safe
// so that every file lands inside the export folder, and a name that is
// taken gets a counter instead of overwriting what is there.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace scrivel {

// The longest file or folder name the file system takes, in bytes.
inline constexpr std::size_t kFileNameMax = 255;
// Room kept free in every built name for the "(n)" that MakeUniquePath adds.
inline constexpr std::size_t kUniqueCounterRoom = 12;

// Makes `stem` safe to use as one path component followed by `suffix` (a
// fixed text such as "-20240102030405" or ".html", which the caller
// appends): ill-formed UTF-8 becomes U+FFFD; "/", "\", NUL and the control
// characters become "_"; the stem is cut (at a character boundary) so that
// stem + suffix + the counter room fit in kFileNameMax; a stem of only
// dots ("." or "..") becomes underscores, and an empty stem "_".
std::string SafeFileName(std::string_view stem, std::string_view suffix = {});

// Returns `path` when nothing (file, folder or link) of that name exists;
// otherwise the first free name of the form folder + base + "(n)" +
// extension for n = 1, 2, 3, ... (the extension is the text from the last
// "." of the file name). Returns "" when no free name is found within
// kUniqueNameAttempts tries.
inline constexpr int kUniqueNameAttempts = 100000;
std::string MakeUniquePath(const std::string& path);

// Gives the same names as MakeUniquePath for a run of files that are
// created one after the other, but remembers for each wanted path the last
// counter it handed out and probes from there on: the k-th file of one name
// costs a few probes instead of k.
class UniquePathPicker {
 public:
  std::string Pick(const std::string& path);
  // As Pick, for a file that is created later (on another thread): the path
  // counts as taken from now on, though nothing exists there yet.
  std::string PickForLater(const std::string& path);

 private:
  bool IsTaken(const std::string& path) const;

  std::unordered_map<std::string, int> m_nextCounter;  // wanted path -> first counter to probe
  std::unordered_set<std::string> m_pickedForLater;
};

}  // namespace scrivel
