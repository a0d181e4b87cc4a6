// The folders the backup engine works in on this platform: the per-user
// application-data folder, the engine's work folder below it, and the root
// folder under which the desktop sync software keeps one folder per backup.
#pragma once

#include <filesystem>

namespace scrivel {

// $XDG_DATA_HOME when set and absolute, else $HOME/.local/share; empty when
// neither variable gives a folder.
std::filesystem::path DefaultAppDataFolder();

// `appDataFolder`/"VantoriciOSRecovery": temporary copies and the decryption
// tool live here.
std::filesystem::path WorkFolderIn(const std::filesystem::path& appDataFolder);

// `appDataFolder`/"Apple Computer/MobileSync/Backup". Each of the three names
// is matched without regard to case against the folders that exist (so
// ".../MobileSync/backup" is found too); a name with no match is used as
// written.
std::filesystem::path BackupsRootIn(const std::filesystem::path& appDataFolder);

}  // namespace scrivel
