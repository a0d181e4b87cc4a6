// Divides the app files into the "App Photos" and "App Videos" categories
// by the extension of their names.
#pragma once

#include <vector>

#include "core/recovery/file_item.h"
#include "core/recovery/scan_results.h"

namespace scrivel {

// Looks up the lower-cased text after the last "." of each name, followed by
// "|", in the image, then the video, then the audio extension list. Video
// and audio hits go to appVideos; image hits and names found nowhere go to
// appPhotos; both grouped by `app`, in list order. The last entry of each
// list has no "|" behind it, so ".tga", ".lrv" and ".snd" are found nowhere
// and land in appPhotos.
void SplitAppFiles(const std::vector<FileItem>& appFiles, FilesByApp& appPhotos, FilesByApp& appVideos);

}  // namespace scrivel
