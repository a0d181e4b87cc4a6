// Decrypting an encrypted backup before it is scanned: the driver runs the
// decryption tool (src/tools/decrypt/, protocol in
// decryption_tool_protocol.h) over the backup folder, turns its "Count:" lines
// into scan progress, and leaves the plain files in the decryption output
// folder, which the engine then reads instead of the backup folder:
//
//   DecryptionSetup setup{appFolder / "tool", temporaryRoot, storedFileCount};
//   std::filesystem::path output;
//   std::error_code rc = DecryptBackup(setup, info.folderPath, password, progress, output);
//   if (!rc) engine.SetDecryptionOutputFolder(output);
//
// The backup folder is only read. The password reaches the tool through its
// standard input, never its command line.
#pragma once

#include <system_error>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/backup/decryption_key_cache.h"
#include "core/common/scan_progress.h"

namespace scrivel {

inline constexpr char kDecryptionOutputFolderName[] = "VantoricBackupPath";

struct DecryptionSetup {
  std::filesystem::path toolPath;       // the application folder + "tool", started where it is
  std::filesystem::path temporaryRoot;  // the output folder is temporaryRoot / kDecryptionOutputFolderName
  std::uint64_t storedFileCount = 0;    // N: files of the encrypted backup, for the progress share
  const std::atomic<bool>* stopRequested = nullptr;  // optional; true cancels like the callback
  DecryptionKeyCache* keyCache = nullptr;            // optional; lets a second opening skip the derivation
};

// Decrypts the backup in `backupFolder` with `password` into the output
// folder (created; plain files left there by an earlier run are removed
// first), and sets `outputFolder` to it.
//
// Progress: at the tool's first "Count:" line, a progress of 0 becomes 1 and
// is reported; each "Count: n" then reports progress + n * step / N (n capped
// at N; N of 0 counts as no files). While the tool is silent the current value
// is reported again about every quarter second, so that a cancel is noticed
// during the key derivation. After a successful run progress + step is
// reported once more; `progress.progress` itself is only ever raised to 1.
//
// Returns success when the tool ran to its end (files it could not decrypt are
// listed in its output, not failures of the whole run); kWrongPassword when it
// reports "Wrong password"; kBadFile when the tool cannot be started, the
// output folder cannot be made, or the tool fails on the backup or ends
// abnormally; the callback's non-zero answer, or kCancelled for
// `stopRequested`, after stopping the tool. Every result other than success
// leaves the output folder without plain files.
[[nodiscard]] std::error_code DecryptBackup(const DecryptionSetup& setup, const std::filesystem::path& backupFolder,
                                const std::string& password, ScanProgress& progress,
                                std::filesystem::path& outputFolder);

}  // namespace scrivel
