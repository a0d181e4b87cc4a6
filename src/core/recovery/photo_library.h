// What the photo library database (CameraRollDomain
// Media/PhotoData/Photos.sqlite) says of the camera-roll files: which
// pictures wait in the "Recently Deleted" album, their original names and
// their dates. The camera-roll scan (media_scans.h) marks its items with it.
//
// Read with the recovery engine (sqlite/database_recovery.h), live rows
// only: an asset row rebuilt from free space belongs to a picture whose
// file is gone, so it has no camera-roll item to mark.
//
//   asset table      ZASSET (iOS 14 and later), else ZGENERICASSET (11-13)
//     ZDIRECTORY     "DCIM/100APPLE"  \ the file is Media/ZDIRECTORY/ZFILENAME
//     ZFILENAME      "IMG_0001.HEIC"  /
//     ZTRASHEDSTATE  0 in the library, 1 in Recently Deleted
//     ZTRASHEDDATE   when it was moved there (Core Data seconds)
//     ZDATECREATED   when it was taken or added (Core Data seconds)
//     ZADDITIONALATTRIBUTES -> ZADDITIONALASSETATTRIBUTES.Z_PK
//   ZADDITIONALASSETATTRIBUTES.ZORIGINALFILENAME  the name it came in with
// Columns are found by name in each table's CREATE TABLE statement, so the
// column order of an iOS version plays no part. The fixture builder
// tests/fixtures/photo_library_database.cpp writes such files.
#pragma once

#include <system_error>

#include <map>
#include <string>
#include <string_view>

namespace scrivel {

struct PhotoAsset {
  bool trashed = false;      // ZTRASHEDSTATE = 1
  std::string originalName;  // may be empty
  std::string created;       // local time "YYYY-MM-DD hh:mm:ss"; empty when not set or out of range
  std::string trashedDate;   // same form; empty when not set
};

// Assets by the file's path in the camera-roll domain below "Media/"
// ("DCIM/100APPLE/IMG_0001.HEIC").
using PhotoLibrary = std::map<std::string, PhotoAsset, std::less<>>;

// Reads the assets of the database at `path` into `*library` (cleared
// first). Returns success; kBadFile when the file cannot be opened, is not
// an SQLite database, or has no asset table with ZDIRECTORY and ZFILENAME;
// a page read's code when the asset table cannot be read (what was read
// stays in `*library`). A missing ZADDITIONALASSETATTRIBUTES table only
// leaves the original names empty.
[[nodiscard]] std::error_code ReadPhotoLibrary(const std::string& path, PhotoLibrary* library);

// The path `library` is keyed by for a manifest entry name
// ("CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.HEIC" ->
// "DCIM/100APPLE/IMG_0001.HEIC"); empty for an entry outside
// "CameraRollDomain-Media/".
std::string_view PhotoLibraryKey(std::string_view entryName);

}  // namespace scrivel
