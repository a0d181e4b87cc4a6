// The summary of one backup folder, read from its Info.plist. A plain value
// type: the backup list, the scan and the engine each keep their own copies.
#pragma once

#include <string>

namespace scrivel {

struct BackupInfo {
  bool encrypted = false;      // the stored address book is not a plain SQLite file
  std::string lastBackupDate;  // local standard time, "YYYY-MM-DD hh:mm:ss"; empty when absent
  std::string phoneNumber;     // "Phone Number" as stored (UTF-8); empty when absent
  std::string serialNumber;    // "Serial Number" as stored (UTF-8); empty when absent
  std::string folderPath;      // full path of the backup folder, without a trailing "/"
  std::string displayName;     // "Display Name" (UTF-8); empty when absent
};

}  // namespace scrivel
