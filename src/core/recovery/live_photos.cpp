#include "core/recovery/live_photos.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

namespace scrivel {
namespace {

bool isStill(std::string_view extension) {
  return extension == "heic" || extension == "heif" || extension == "avif" || extension == "jpg";
}

bool isMovie(std::string_view extension) { return extension == "mov"; }

// The entry name without its last extension, in lower case:
// ".../100APPLE/IMG_0011.HEIC" -> ".../100apple/img_0011".
std::string pairKey(std::string_view entryName) {
  const std::size_t slash = entryName.rfind('/');
  const std::size_t dot = entryName.rfind('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    entryName = entryName.substr(0, dot);
  }
  std::string key(entryName);
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return key;
}

}  // namespace

void PairLivePhotos(std::vector<CameraRollFile>& files) {
  std::map<std::string, std::size_t> stills;  // pair key -> position of the first still with it
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (isStill(files[i].extension)) stills.emplace(pairKey(files[i].entryName), i);
  }
  std::vector<bool> paired(files.size(), false);  // movies moved into a still
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!isMovie(files[i].extension)) continue;
    const auto still = stills.find(pairKey(files[i].entryName));
    if (still == stills.end()) continue;
    FileItem& picture = files[still->second].item;
    if (picture.pairedVideo) continue;  // a second movie of the same name stays on its own
    const FileItem& movie = files[i].item;
    picture.pairedVideo = PairedVideo{movie.size, movie.name, movie.path};
    paired[i] = true;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (paired[i]) continue;
    if (kept != i) files[kept] = std::move(files[i]);
    ++kept;
  }
  files.resize(kept);
}

}  // namespace scrivel
