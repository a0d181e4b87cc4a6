// Benchmark of a whole scan: times each category scan of the large sample
// backup in-process, then `scrivel-cli scan --json` as a whole, next to the
// time of reading every file of the backup once with cat. A scan reads only
// the databases and 512 bytes of each other file, so it should beat a full
// read.
//
// Both are measured twice, as the best of three runs. Warm: every file is
// in the page cache, so the figures are the processor's work. Cold: the
// backup's files are dropped from the page cache before each run, as when
// a user opens a backup for the first time; this is where reading less
// than everything pays, and the target is a question of these figures.
//
// Usage: bench_scan [--generation NAME] [BACKUP_DIR]   (default: builds the
// large modern sample, or the large sample of iOS generation NAME, into
// bench-data/ beside the executable, once)
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "core/common/program_arguments.h"
#include "core/backup/backup_engine.h"
#include "core/backup/info_plist.h"
#include "core/common/app_directory.h"
#include "core/common/result_codes.h"
#include "core/recovery/local_backup_recovery.h"
#include "core/recovery/scan_sequence.h"
#include "fixtures/sample_backup.h"
#include "support/backup_files.h"
#include "support/page_cache.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Times each scan operation of the sequence.
class CategoryTimer : public scrivel::ScanObserver {
 public:
  void OnScanStarting(std::string_view operation) override {
    stop();
    m_current = operation;
    m_start = Clock::now();
  }
  void stop() {
    if (!m_current.empty()) m_seconds.emplace_back(m_current, secondsSince(m_start));
    m_current.clear();
  }
  const std::vector<std::pair<std::string, double>>& seconds() const { return m_seconds; }

 private:
  std::string m_current;
  Clock::time_point m_start;
  std::vector<std::pair<std::string, double>> m_seconds;
};

// Runs a shell command and returns its wall time in seconds (-1 on failure).
double timeCommand(const std::string& command) {
  const Clock::time_point start = Clock::now();
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return secondsSince(start);
}

// The least wall time of three runs of `command`; with `cold`, `backup` is
// dropped from the page cache before each run, else the runs follow one
// that warms it. -1 when a run fails.
double bestOfThree(const std::string& command, const fs::path& backup, bool cold) {
  if (!cold && timeCommand(command) < 0) return -1;
  double best = -1;
  for (int run = 0; run < 3; ++run) {
    if (cold) scrivel::bench::DropFromPageCache(backup);
    const double seconds = timeCommand(command);
    if (seconds < 0) return -1;
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

constexpr const char* kProgram = "bench_scan";
constexpr const char* kUsage =
    "usage: bench_scan [--generation NAME] [BACKUP_DIR]\n"
    "  BACKUP_DIR         the backup to scan (default: the large sample, built once into\n"
    "                     bench-data/ beside the executable)\n"
    "  --generation NAME  build the large sample in the table layouts of an iOS generation\n"
    "                     (ios7, ios8, ios11, ios12, ios15, ios17) instead of the reference\n"
    "                     layouts; ignored with BACKUP_DIR\n";

bool IsSampleGeneration(std::string_view name) {
  for (const char* generation : scrivel::fixtures::kSampleGenerations)
    if (name == generation) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path bin = scrivel::GetAppDirectory();
  fs::path backup;
  std::string generation;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (scrivel::IsHelpOption(argument)) return scrivel::ShowUsage(kUsage);
    if (argument == "--generation") {
      if (i + 1 == argc || !IsSampleGeneration(argv[i + 1]))
        return scrivel::RefuseArgument(kProgram, "--generation needs one of the generation names", "", kUsage);
      generation = argv[++i];
      continue;
    }
    if (!backup.empty() || argument.starts_with("-")) return scrivel::RefuseUnexpected(kProgram, argument, kUsage);
    backup = argument;
  }
  const bool sample = backup.empty();
  if (sample) backup = bin / "bench-data" / (generation.empty() ? "scan-large" : "scan-large-" + generation);
  if (sample && !fs::exists(backup / "Manifest.db")) {
    std::printf("building the large sample backup into %s ...\n", backup.c_str());
    fs::remove_all(backup);
    scrivel::fixtures::SampleBackupOptions options;
    options.counts = scrivel::fixtures::LargeSampleCounts();
    options.generation = generation;
    if (scrivel::fixtures::BuildSampleBackup(backup, options, nullptr)) {
      std::fprintf(stderr, "could not build the sample backup\n");
      return 1;
    }
  }
  // The sample's ground-truth file is no part of a backup: neither counted
  // nor read by the reference.
  const scrivel::bench::BackupSize size = scrivel::bench::MeasureBackup(backup);
  const double backupBytes = static_cast<double>(size.bytes);
  std::printf("backup: %s, %llu files, %.1f MB\n", backup.c_str(), static_cast<unsigned long long>(size.files),
              backupBytes / 1e6);

  const std::string catAll = scrivel::bench::CatBackupCommand(backup);
  timeCommand(catAll);  // the in-process scan below reads from memory

  // In-process scan, timed per category.
  const fs::path appData = fs::temp_directory_path() / "scrivel-bench-scan";
  scrivel::BackupInfo info;
  if (scrivel::ReadBackupInfo(backup, info)) {
    std::fprintf(stderr, "%s is not a backup\n", backup.c_str());
    return 1;
  }
  double inProcessSeconds = 0;
  CategoryTimer timer;
  {
    scrivel::BackupEngine engine(appData, appData / "none");
    engine.SelectBackup(info);
    scrivel::CLocalBackupRecovery source((appData / "tmp-root").string() + "/");
    (void)source.Attach(&engine);  // attaching a local source cannot fail
    scrivel::ScanResults results;
    const Clock::time_point start = Clock::now();
    const std::error_code result = scrivel::RunScanSequence(source, "", results, timer);
    inProcessSeconds = secondsSince(start);
    timer.stop();
    if (result) std::fprintf(stderr, "scan result: %s\n", result.message().c_str());
  }
  fs::remove_all(appData);
  std::printf("\n%-24s %10s\n", "scan step", "seconds");
  for (const auto& [step, seconds] : timer.seconds()) std::printf("%-24s %10.3f\n", step.c_str(), seconds);
  std::printf("%-24s %10.3f\n", "total (in process)", inProcessSeconds);

  // The command-line scan as users run it, with its peak memory, against
  // cat of every file, warm and cold.
  const std::string scan = "XDG_DATA_HOME='" + appData.string() + "' '" + (bin / "scrivel-cli").string() +
                           "' scan '" + backup.string() + "' --json --no-progress > /dev/null";
  const bool canGoCold = scrivel::bench::CanDropFromPageCache(backup / "Manifest.db");
  for (const bool cold : {false, true}) {
    if (cold && !canGoCold) {
      std::printf("\n(no cold figures: the file system of %s keeps files in memory)\n", backup.c_str());
      break;
    }
    const double catSeconds = bestOfThree(catAll, backup, cold);
    const double cliSeconds = bestOfThree(scan, backup, cold);
    fs::remove_all(appData);
    std::printf("\n%s\n", cold ? "cold: the backup dropped from the page cache before each run"
                                 : "warm: the backup in the page cache");
    std::printf("scrivel-cli scan --json   %8.3f s\n", cliSeconds);
    std::printf("cat of every file         %8.3f s   (%.0f MB/s)\n", catSeconds, backupBytes / 1e6 / catSeconds);
    if (cliSeconds > 0 && catSeconds > 0) {
      std::printf("ratio scan / cat          %8.2f   %s\n", cliSeconds / catSeconds,
                  cold ? "(target: below 1)" : "(the processor's work alone: no target)");
    }
  }
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  std::printf("\npeak memory of a child process (the scans): %.1f MB\n", usage.ru_maxrss / 1024.0);
  return 0;
}
