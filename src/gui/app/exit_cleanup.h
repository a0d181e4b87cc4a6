// What the application removes when it ends: the preview copies ("tmp.jpg",
// "tmp.wav", "tmp.avi") in its work folder.
#pragma once

#include <filesystem>

namespace scrivel::gui {

// The application's work folder (see core/backup/backup_locations.h); empty
// when there is no application-data folder.
std::filesystem::path WorkFolder();

// Deletes the three preview files in workFolder; missing files and failures
// are ignored. Nothing else is touched.
void DeletePreviewFiles(const std::filesystem::path& workFolder);

}  // namespace scrivel::gui
