#include "core/recovery/app_file_split.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "core/recovery/file_copy.h"

namespace scrivel {
namespace {

bool listed(const char* list, const std::string& key) { return std::string_view(list).find(key) != std::string_view::npos; }

}  // namespace

void SplitAppFiles(const std::vector<FileItem>& appFiles, FilesByApp& appPhotos, FilesByApp& appVideos) {
  for (const FileItem& file : appFiles) {
    const std::size_t dot = file.name.rfind('.');
    std::string key = dot == std::string::npos ? std::string() : file.name.substr(dot + 1);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    key += '|';
    const bool isVideo = !listed(kImageExtensions, key) && (listed(kVideoExtensions, key) || listed(kAudioExtensions, key));
    (isVideo ? appVideos : appPhotos)[file.app].push_back(file);
  }
}

}  // namespace scrivel
