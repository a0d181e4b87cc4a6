// One recoverable stored file of a backup: a camera-roll or photo-stream
// picture or video, a message attachment, a WhatsApp media file or a file of
// another app.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace scrivel {

// The short movie of a Live Photo, kept with its still picture so that the
// two are shown and exported together.
struct PairedVideo {
  std::uint64_t size = 0;  // bytes of the stored movie
  std::string name;        // as stored, e.g. "IMG_0011.MOV"
  std::string path;        // full path of the stored movie inside the backup
};

struct FileItem {
  std::uint64_t size = 0;  // bytes of the stored file (64-bit: videos of 4 GiB and more are real)
  std::string name;        // display and export file name, e.g. "IMG_0001.JPG"
  std::string path;        // full path of the stored file inside the backup
  std::string app;         // app files only: app identifier ("tencent.xin") or "other"; empty otherwise
  // Camera-roll items only; what the photo library database (Photos.sqlite)
  // says of the picture, where it has a row for it. Every member has a
  // default so that the lists built without them stay short.
  bool deleted = false;             // waits in the library's "Recently Deleted" album
  std::string originalName{};       // name the picture had when it came in ("IMG_4512.HEIC", "photo.jpg"); may be empty
  std::string created{};            // when it was taken or added, local time "YYYY-MM-DD hh:mm:ss"; may be empty
  std::string trashed{};            // when it was moved to Recently Deleted, same form; empty when not
  std::optional<PairedVideo> pairedVideo{};  // the movie of a Live Photo still
};

}  // namespace scrivel
