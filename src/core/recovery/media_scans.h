// The file scans of a backup: camera-roll and photo-stream media, message
// attachments and the files of other apps (with WhatsApp's media split off),
// picked out of the manifest by name and recognised by content signature.
//
// Each scan walks the manifest in order, reports progress after every entry
// (see ScanProgress), adds one share at the end, and hands out its lists
// sorted by name without regard to case. A non-zero progress answer ends the
// walk; the partial lists are still sorted and handed out, and the answer is
// the result.
#pragma once

#include <system_error>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/recovery/file_item.h"
#include "core/recovery/file_type.h"
#include "core/recovery/photo_library.h"
#include "core/common/scan_progress.h"

namespace scrivel {

class BackupEngine;

// Probes of stored files by manifest entry position (an entry not probed
// has an empty probe), made ahead of the message-attachment and app-file
// scans. A scan given probes uses the one of an entry when it is of the
// entry's stored path and probes the file itself otherwise, so the probes
// only save work, never change a result.
using StoredFileProbes = std::vector<StoredFileProbe>;

// The stored paths, by entry position, of the entries the message-attachment
// and app-file scans look at.
std::vector<std::pair<std::size_t, std::string>> ProbedFileScanPaths(const BackupEngine& engine);

// Probes `paths` (from ProbedFileScanPaths) for a manifest of `entryCount`
// entries. Touches nothing but the files, so it may run on a worker thread.
StoredFileProbes ProbeStoredFiles(const std::vector<std::pair<std::size_t, std::string>>& paths,
                                  std::size_t entryCount);

// Entries whose name contains "/Attachments/", with content recognised and
// not empty. Named by the stored base name and the detected extension in
// upper case: ".../IMG_0001.heic" holding a JPEG becomes "IMG_0001.JPG".
[[nodiscard]] std::error_code ScanMessageAttachments(const BackupEngine& engine, FileTypeDetector& detector, ScanProgress& progress,
                           std::vector<FileItem>& attachments, const StoredFileProbes* probes = nullptr);

// Camera-roll ("CameraRollDomain-Media/DCIM/") and photo-stream
// ("MediaDomain-Media/PhotoStreamsData/") media with content recognised,
// named as stored. The files are probed a block at a time ahead of the
// walk, by several readers at once. Camera-roll items that `library` has
// an asset for take its marks (deleted, original name, dates), and the
// movie of a Live Photo goes into its still (PairLivePhotos).
[[nodiscard]] std::error_code ScanPhotos(const BackupEngine& engine, ScanProgress& progress, std::vector<FileItem>& cameraRoll,
               std::vector<FileItem>& photoStream, const PhotoLibrary* library = nullptr);

// Files of app domains ("AppDomain-") with content recognised, with their app
// identifier. WhatsApp's files go, when not empty, to whatsAppFiles instead
// (cleared first).
[[nodiscard]] std::error_code ScanAppFiles(const BackupEngine& engine, FileTypeDetector& detector, ScanProgress& progress,
                 std::vector<FileItem>& appFiles, std::vector<FileItem>& whatsAppFiles,
                 const StoredFileProbes* probes = nullptr);

// The app identifier in a manifest name: the text between "com." (else
// "net.") and the next "-" ("AppDomain-com.tencent.xin-Documents/a.jpg" ->
// "tencent.xin"); "other" when there is none.
std::string AppIdentifier(std::string_view entryName);

// The export name of a recognised file: the base name of the entry (after its
// last "/", without its last extension) + "." + the extension in upper case.
std::string RecognisedFileName(std::string_view entryName, std::string_view extension);

// Sorts items by name, ascending, without regard to case; equal names keep
// their order.
void SortByName(std::vector<FileItem>& items);

}  // namespace scrivel
