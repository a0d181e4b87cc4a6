// Reads the summary of a backup from its "Info.plist": display name, last
// backup date, phone number and serial number.
//
// An XML Info.plist is read line by line, not parsed as XML. A line that
// holds one of the four keys makes the next line its value:
//
//   <key>Display Name</key>        next line: <string>VALUE</string>
//   <key>Last Backup Date</key>    next line: <date>2016-05-12T02:30:00Z</date>
//   <key>Phone Number</key>        next line: <string>VALUE</string>
//   <key>Serial Number</key>       next line: <string>VALUE</string>, then stop
//
// Reading stops after "Serial Number": the device writes its keys in sorted
// order, so the four come first and the large application lists after them
// are never looked at. A value line without its opening tag leaves the field
// empty. String values have the XML escapes (&amp; &lt; &gt; &quot; &apos;
// and numeric references) decoded.
//
// A binary Info.plist, or an XML one from which the line rules get no value
// at all (for example one written on a single line), is read with libplist
// instead, through the checks of plist_load.h.
#pragma once

#include <system_error>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/backup/backup_info.h"

namespace scrivel {

// Fills displayName, lastBackupDate, phoneNumber and serialNumber of `out`
// from an Info.plist image; the other fields are not touched. A key that is
// not found leaves its field empty. `biasMinutes` as in FormatBackupDate.
// Returns success when the line rules found a value or libplist read the
// list; kBadFile, with the reason in `problem`, when the list was refused
// (too large, too deeply nested, not a property list).
[[nodiscard]] std::error_code ReadInfoPlistSummary(std::span<const std::uint8_t> bytes, long biasMinutes,
                                                   BackupInfo& out, std::string& problem);

// Reads `folder`/Info.plist into `out`: the four texts above, folderPath
// (`folder` without a trailing "/") and encrypted (IsBackupEncrypted).
// Returns success, or kBadFile when Info.plist cannot be opened, read or
// used; `out` is then left unchanged and `problem` (when given) holds a
// sentence naming the file and the reason.
[[nodiscard]] std::error_code ReadBackupInfo(const std::filesystem::path& folder, BackupInfo& out,
                                             std::string* problem = nullptr);

// Appends to `out` the summary of every folder of `folders` that has a
// usable Info.plist, in the given order; other entries (plain files,
// folders without Info.plist) are skipped. A folder whose Info.plist exists
// but is refused adds a sentence to `problems` (when given), and the
// folders after it are still read.
void ReadAllBackupInfo(const std::vector<std::filesystem::path>& folders, std::vector<BackupInfo>& out,
                       std::vector<std::string>* problems = nullptr);

}  // namespace scrivel
