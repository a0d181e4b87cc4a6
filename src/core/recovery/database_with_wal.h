// A database of a backup is stored under its identifier with nothing beside
// it. When the phone's database was in write-ahead-log mode, the backup may
// hold the log as a stored file of its own, named like the database plus
// "-wal" ("HomeDomain-Library/SMS/sms.db-wal"), and the rows written since
// the last checkpoint are only there. The page reader looks for a log only
// beside the database, under the database's path plus "-wal"; so such a
// database is read from a copy in the work folder with a copy of its log
// beside it. The copies are plain files of the work folder, which the run's
// clean-up removes.
#pragma once

#include <string>
#include <string_view>

namespace scrivel {

class BackupEngine;

// The path to read the stored database `fileId` from: its stored path when
// the manifest lists no log for it or the stored log is empty or missing;
// else "work folder/fileId", after copying the database there with its log
// beside it as "work folder/fileId-wal". When a copy fails the stored path
// is returned and the database is read without its log.
std::string DatabasePathWithWal(const BackupEngine& engine, std::string_view fileId);

}  // namespace scrivel
