// One recoverable stored file of a backup: a camera-roll or photo-stream
// picture or video, a message attachment, a WhatsApp media file or a file of
// another app.
#pragma once

#include <cstdint>
#include <string>

namespace scrivel {

struct FileItem {
  std::uint64_t size = 0;  // bytes of the stored file (64-bit: videos of 4 GiB and more are real)
  std::string name;        // display and export file name, e.g. "IMG_0001.JPG"
  std::string path;        // full path of the stored file inside the backup
  std::string app;         // app files only: app identifier ("tencent.xin") or "other"; empty otherwise
};

}  // namespace scrivel
