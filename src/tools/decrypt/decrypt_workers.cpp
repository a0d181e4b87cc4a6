#include "tools/decrypt/decrypt_workers.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "core/common/result_codes.h"
#include "core/crypto/cbc_file_decryptor.h"

namespace scrivel::decrypt_tool {
namespace {

constexpr auto kCountInterval = std::chrono::milliseconds(100);

// Creates (or empties) the output file of a zero-length stored file.
bool WriteEmptyFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

bool IsRegularFile(const std::filesystem::path& path) {
  std::error_code ignored;
  return !path.empty() && std::filesystem::is_regular_file(path, ignored);
}

std::string DamageDetails(const crypto::DecryptedFileReport& report) {
  std::string details = "stored " + std::to_string(report.storedSize) + " bytes";
  if (report.unalignedTailSize != 0) {
    details += ", last " + std::to_string(report.unalignedTailSize) + " bytes do not fill a block";
  }
  if (!report.paddingValid) details += ", no valid padding; kept " + std::to_string(report.plainSize) + " bytes";
  return details;
}

void DecryptOne(const StoredFileJob& job, const crypto::ClassKeys& classKeys, const std::filesystem::path& outputFolder,
                ToolConsole& console, DecryptionTotals& totals) {
  const std::filesystem::path destination = outputFolder / job.fileId;
  if (!job.key) {
    // Zero-length files carry no key: their copy is an empty file.
    if (job.manifestSize != 0) {
      console.Line("Failed: " + job.fileId + " has no encryption key");
      ++totals.failed;
    } else if (WriteEmptyFile(destination)) {
      ++totals.written;
    } else {
      console.Line("Failed: " + job.fileId + " cannot be written");
      ++totals.failed;
      totals.outputUnwritable = true;
    }
    return;
  }
  crypto::SecretBytes fileKey;
  if (!classKeys.UnwrapFileKey(*job.key, fileKey)) {
    console.Line("Failed: " + job.fileId + " encryption key does not unwrap");
    ++totals.failed;
    return;
  }
  crypto::DecryptedFileReport report;
  // The decryption opens the source and checks that it is a regular file;
  // only when that fails is it asked why, so a file that is there costs no
  // extra system call (a backup holds many thousands of small files).
  std::error_code rc = crypto::DecryptFileToFile(job.source, destination, fileKey.view(), report);
  if (rc == kBadFile && !job.flatSource.empty() && !IsRegularFile(job.source)) {
    rc = crypto::DecryptFileToFile(job.flatSource, destination, fileKey.view(), report);
  }
  if (rc == kBadFile && !IsRegularFile(job.source) && !IsRegularFile(job.flatSource)) {
    console.Line("Missing: " + job.fileId);
    ++totals.missing;
    return;
  }
  if (rc == kBadFile || rc == kShortRead) {
    console.Line("Failed: " + job.fileId + " cannot be read");
    ++totals.failed;
    return;
  }
  if (rc) {
    console.Line("Failed: " + job.fileId + " cannot be written: " + rc.message());
    ++totals.failed;
    totals.outputUnwritable = true;
    return;
  }
  ++totals.written;
  if (report.damaged()) {
    console.Line("Damaged: " + job.fileId + " " + DamageDetails(report));
    ++totals.damaged;
  } else if (report.plainSize != job.manifestSize) {
    // The manifest's Size is sometimes wrong (mostly for databases); the
    // padding is trusted and the copy keeps every decrypted byte.
    console.Line("Size mismatch: " + job.fileId + " manifest " + std::to_string(job.manifestSize) + " decrypted " +
                 std::to_string(report.plainSize));
    ++totals.sizeMismatches;
  }
}

}  // namespace

void DecryptStoredFiles(JobList& jobs, const crypto::ClassKeys& classKeys, const std::filesystem::path& outputFolder,
                        unsigned threadCount, ToolConsole& console, DecryptionTotals& totals) {
  std::atomic<std::size_t> nextJob{0};
  std::mutex mutex;
  std::condition_variable allDone;
  const unsigned workerCount = threadCount == 0 ? 1 : threadCount;
  unsigned runningWorkers = workerCount;  // guarded by `mutex`

  auto worker = [&] {
    for (const StoredFileJob* job = jobs.WaitFor(nextJob++); job != nullptr && !totals.outputUnwritable;
         job = jobs.WaitFor(nextJob++)) {
      DecryptOne(*job, classKeys, outputFolder, console, totals);
      ++totals.handled;
    }
    std::lock_guard lock(mutex);
    if (--runningWorkers == 0) allDone.notify_one();
  };
  std::vector<std::jthread> workers;
  for (unsigned i = 0; i < workerCount; ++i) workers.emplace_back(worker);

  std::uint64_t lastPrinted = 0;
  for (;;) {
    {
      std::unique_lock lock(mutex);
      if (allDone.wait_for(lock, kCountInterval, [&] { return runningWorkers == 0; })) break;
    }
    const std::uint64_t handled = totals.handled;
    if (handled != lastPrinted) {
      console.Line("Count: " + std::to_string(handled));
      lastPrinted = handled;
    }
  }
  workers.clear();  // joins the finished threads
  console.Line("Count: " + std::to_string(totals.handled.load()));
}

}  // namespace scrivel::decrypt_tool
