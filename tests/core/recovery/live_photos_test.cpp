#include "core/recovery/live_photos.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scrivel {
namespace {

struct Entry {
  const char* name;       // manifest name below "CameraRollDomain-Media/DCIM/"
  const char* extension;  // detected type
};

// What PairLivePhotos leaves: each file's name with "+" and its movie's name.
std::vector<std::string> paired(const std::vector<Entry>& entries) {
  std::vector<CameraRollFile> files;
  for (const Entry& entry : entries) {
    const std::string name = entry.name;
    FileItem item{name.size(), name.substr(name.rfind('/') + 1), "/stored/" + name, {}};
    files.push_back({"CameraRollDomain-Media/DCIM/" + name, entry.extension, std::move(item)});
  }
  PairLivePhotos(files);
  std::vector<std::string> result;
  for (const CameraRollFile& file : files) {
    result.push_back(file.item.name + (file.item.pairedVideo ? "+" + file.item.pairedVideo->name : ""));
  }
  return result;
}

TEST(LivePhotosTest, PairsByFolderAndBaseName) {
  const struct {
    std::vector<Entry> entries;
    std::vector<std::string> expected;
    const char* what;
  } cases[] = {
      {{{"100APPLE/IMG_0011.HEIC", "heic"}, {"100APPLE/IMG_0011.MOV", "mov"}}, {"IMG_0011.HEIC+IMG_0011.MOV"},
       "HEIC still and its movie"},
      {{{"100APPLE/IMG_0011.MOV", "mov"}, {"100APPLE/IMG_0011.JPG", "jpg"}}, {"IMG_0011.JPG+IMG_0011.MOV"},
       "movie met before a JPEG still"},
      {{{"100APPLE/img_0011.heic", "heic"}, {"100APPLE/IMG_0011.MOV", "mov"}}, {"img_0011.heic+IMG_0011.MOV"},
       "letter case differs"},
      {{{"100APPLE/IMG_0011.HEIC", "heic"}, {"101APPLE/IMG_0011.MOV", "mov"}}, {"IMG_0011.HEIC", "IMG_0011.MOV"},
       "other folder"},
      {{{"100APPLE/IMG_0011.PNG", "png"}, {"100APPLE/IMG_0011.MOV", "mov"}}, {"IMG_0011.PNG", "IMG_0011.MOV"},
       "a screenshot is no Live Photo"},
      {{{"100APPLE/IMG_0011.HEIC", "heic"}, {"100APPLE/IMG_0011.MOV", "mp4"}}, {"IMG_0011.HEIC", "IMG_0011.MOV"},
       "named .MOV but holds MP4"},
      {{{"100APPLE/IMG_0011.HEIC", "heic"}, {"100APPLE/IMG_0011.MOV", "mov"}, {"100APPLE/IMG_0011.mov", "mov"}},
       {"IMG_0011.HEIC+IMG_0011.MOV", "IMG_0011.mov"},
       "a still takes one movie"},
      {{{"100APPLE/IMG_0012.MOV", "mov"}}, {"IMG_0012.MOV"}, "movie alone"},
      {{}, {}, "nothing"},
  };
  for (const auto& c : cases) EXPECT_EQ(paired(c.entries), c.expected) << c.what;
}

}  // namespace
}  // namespace scrivel
