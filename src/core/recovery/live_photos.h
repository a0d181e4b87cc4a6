// Keeps the two files of a Live Photo together: the still picture
// (IMG_nnnn.HEIC or .JPG) and the short movie the camera records with it
// (IMG_nnnn.MOV).
//
// Pairing is by folder and base name, the way the camera writes the pair
// into one DCIM folder. Both files also carry one content identifier (the
// still in an Apple maker-note tag of its Exif data, the movie in a
// QuickTime metadata item), which would pair renamed copies too; reading it
// means walking the HEIF item boxes and the Exif maker note of every still
// and the metadata boxes of every movie, so the scan does not do it: it
// reads no more than the head of each file.
#pragma once

#include <string>
#include <vector>

#include "core/recovery/file_item.h"

namespace scrivel {

// A camera-roll file as the scan met it.
struct CameraRollFile {
  std::string entryName;  // manifest name, "CameraRollDomain-Media/DCIM/100APPLE/IMG_0011.HEIC"
  std::string extension;  // detected type, lower case ("heic", "jpg", "mov")
  FileItem item;
};

// Moves each movie (detected "mov") whose entry shares folder and base name
// (letter case ignored) with a still (detected "heic", "heif", "avif" or
// "jpg") into that still's pairedVideo, and drops it from `files`. A still
// takes one movie; movies without a still, and stills without a movie, stay
// as they are. The order of the remaining files is kept.
void PairLivePhotos(std::vector<CameraRollFile>& files);

}  // namespace scrivel
