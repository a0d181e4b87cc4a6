#include "gui/app/exit_cleanup.h"

#include <system_error>

#include "core/backup/backup_locations.h"

namespace scrivel::gui {

std::filesystem::path WorkFolder() {
  const std::filesystem::path dataFolder = DefaultAppDataFolder();
  if (dataFolder.empty()) return {};
  return WorkFolderIn(dataFolder);
}

void DeletePreviewFiles(const std::filesystem::path& workFolder) {
  if (workFolder.empty()) return;
  for (const char* name : {"tmp.jpg", "tmp.wav", "tmp.avi"}) {
    std::error_code ignored;
    std::filesystem::remove(workFolder / name, ignored);
  }
}

}  // namespace scrivel::gui
