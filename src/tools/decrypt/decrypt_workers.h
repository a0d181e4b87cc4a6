// Decrypts the listed stored files into the output folder on several threads
// and reports progress as "Count:" lines.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>

#include "core/crypto/class_keys.h"
#include "tools/decrypt/job_list.h"
#include "tools/decrypt/tool_console.h"

namespace scrivel::decrypt_tool {

struct DecryptionTotals {
  std::atomic<std::uint64_t> handled{0};         // jobs finished, whatever their outcome
  std::atomic<std::uint64_t> written{0};         // plain copies written, damaged ones included
  std::atomic<std::uint64_t> missing{0};         // stored file absent from the backup folder
  std::atomic<std::uint64_t> failed{0};          // no usable key, unreadable source, unwritable copy
  std::atomic<bool> outputUnwritable{false};     // a copy could not be written: the run stops early
  std::atomic<std::uint64_t> damaged{0};         // written, but the padding or the length was wrong
  std::atomic<std::uint64_t> sizeMismatches{0};  // written; plain length differs from the manifest's Size
};

// Runs every job of `jobs` on `threadCount` threads (at least one), taking
// each as soon as it is listed, and returns once the list is finished and
// every job taken is done. Stored files are independent, so each thread
// decrypts whole files of its own. The calling thread prints
// "Count: <handled>" about ten times a second while the count changes, and
// once more at the end. Each problem file gets its own console line. Output
// files are named by the job's identifier inside `outputFolder`. A copy that
// cannot be written (a full disk, a read-only output folder) stops the run:
// the jobs not yet started are left undone and totals.outputUnwritable is
// set.
void DecryptStoredFiles(JobList& jobs, const crypto::ClassKeys& classKeys, const std::filesystem::path& outputFolder,
                        unsigned threadCount, ToolConsole& console, DecryptionTotals& totals);

}  // namespace scrivel::decrypt_tool
