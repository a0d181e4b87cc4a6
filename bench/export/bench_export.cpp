// Export speed: builds a sample backup (large by default), scans it, then
// times the export of the media categories against "cp -r" of the same
// files, the export of the database categories, and the whole export, and
// prints MB/s and the peak memory of the process. Every figure is the best
// of three runs, as wall-clock time and as processor time (user + system;
// for "cp -r" that of the child processes), which other load on the machine
// disturbs less. The rounds run twice: warm, with the backup in the page
// cache (the processor's work), and cold, with it dropped from there before
// each step (what a user meets, disk reads included).
//
// Usage: bench_export [--scale small|large|N | --backup DIR]
// (--backup reuses a sample backup that make-sample-backup wrote. The
// sample is built in a child process, so that the peak memory printed after
// the scan is that of the scan, not of the builder.)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/common/program_arguments.h"
#include "core/backup/backup_engine.h"
#include "core/backup/backup_locations.h"
#include "core/backup/info_plist.h"
#include "core/common/app_directory.h"
#include "core/common/result_codes.h"
#include "core/export/export_worker.h"
#include "core/export/recovery_export_source.h"
#include "core/recovery/iphone_recovery_parse.h"
#include "core/recovery/scan_sequence.h"
#include "core/results/scan_categories.h"
#include "fixtures/sample_backup.h"
#include "support/page_cache.h"

namespace {

namespace fs = std::filesystem;
using namespace scrivel;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Bytes of the regular files below `root` whose name is `onlyName` (every
// file when it is empty); 0 when `root` does not exist.
std::uint64_t BytesBelow(const fs::path& root, const std::string& onlyName = {}) {
  std::uint64_t bytes = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    if (!onlyName.empty() && it->path().filename() != onlyName) continue;
    if (it->is_regular_file(error)) bytes += it->file_size(error);
  }
  return bytes;
}

// Processor seconds (user + system) used so far by this process, or by its
// finished child processes.
double ProcessorSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall-clock and processor seconds of one timed step.
struct Timing {
  double wall = 0;
  double processor = 0;
};

// Keeps the smallest of each figure over the rounds.
void KeepBest(Timing& best, const Timing& run, bool first) {
  best.wall = first ? run.wall : std::min(best.wall, run.wall);
  best.processor = first ? run.processor : std::min(best.processor, run.processor);
}

// Builds the sample backup in a child process: the builder holds much more
// memory than the scan, and the peak memory of this process is to show the
// scan's.
std::error_code BuildSampleInChild(const fs::path& backup, const fixtures::SampleBackupOptions& options) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return kBadFile;
  if (child == 0) _exit(fixtures::BuildSampleBackup(backup, options, nullptr) ? 1 : 0);
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return kBadFile;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::error_code{} : make_error_code(kBadFile);
}

// Removes the working folder of the run (some gigabytes) however main ends.
struct FolderRemover {
  fs::path folder;
  ~FolderRemover() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

// Exports the categories `kinds` of a scan into the new folder `out`;
// returns the time taken.
Timing TimeExport(ScanResults& results, IPhoneRecoveryParse& source, const std::vector<CategoryKind>& kinds,
                  const fs::path& out, bool* ok) {
  CStatisticsObj statistics;
  ConversationRows rows;
  for (CategoryKind kind : kinds) {
    PrepareCategory(kind, results, rows);
    RegisterScanCategory(statistics, kind, results, rows);
  }
  RecoveryExportSource exportSource(source);
  ExportProgress progress;
  ExportRequest request;
  request.exportRoot = out.string();
  request.deviceName = "Bench iPhone";
  request.templateFolder = GetAppDirectory() + "template/";
  request.writeIndex = true;
  request.statistics = &statistics;
  request.conversations = &results.messages;
  request.chats = &results.whatsApp;
  request.source = &exportSource;
  const double processorStart = ProcessorSeconds(RUSAGE_SELF);
  const Clock::time_point start = Clock::now();
  const std::error_code result = RunExport(request, progress);
  const Timing timing{SecondsSince(start), ProcessorSeconds(RUSAGE_SELF) - processorStart};
  *ok = !result && progress.Counters().failed == 0;
  if (!*ok) std::fprintf(stderr, "export failed: %s, %d failed\n", result.message().c_str(), progress.Counters().failed);
  return timing;
}

// The stored files of every media category, by their paths in the backup.
std::vector<const FileItem*> MediaFiles(const ScanResults& results) {
  std::vector<const FileItem*> files;
  for (const auto* list : {&results.cameraRoll, &results.photoStream, &results.messageAttachments, &results.whatsAppFiles}) {
    for (const FileItem& file : *list) files.push_back(&file);
  }
  for (const auto* apps : {&results.appPhotos, &results.appVideos}) {
    for (const auto& [app, list] : *apps) {
      for (const FileItem& file : list) files.push_back(&file);
    }
  }
  return files;
}

// The best time of each step over the rounds of one kind (warm or cold).
struct Figures {
  Timing copy, mediaExport, databaseExport, fullExport, messageRowDump;
};

void Report(const Figures& f, const char* heading, const char* addedTarget, double mediaMb, double writtenMb) {
  // What the database categories add to an export of everything.
  const Timing added{f.fullExport.wall - f.mediaExport.wall, f.fullExport.processor - f.mediaExport.processor};
  std::printf("\n%s\n", heading);
  std::printf("cp -r of the media (reference): %.3f s (%.3f s), %.1f MB/s\n", f.copy.wall, f.copy.processor,
              mediaMb / f.copy.wall);
  std::printf("export of the media categories: %.3f s (%.3f s), %.1f MB/s\n", f.mediaExport.wall,
              f.mediaExport.processor, mediaMb / f.mediaExport.wall);
  std::printf("ratio media export / cp -r: %.2f (%.2f) (target at most 1.50)\n", f.mediaExport.wall / f.copy.wall,
              f.mediaExport.processor / f.copy.processor);
  std::printf("export of the database categories alone: %.3f s (%.3f s), %.2f (%.2f) x the media export\n",
              f.databaseExport.wall, f.databaseExport.processor, f.databaseExport.wall / f.mediaExport.wall,
              f.databaseExport.processor / f.mediaExport.processor);
  std::printf("  of it the raw message rows (sms.csv) from the recovery source: %.3f s (%.3f s)\n",
              f.messageRowDump.wall, f.messageRowDump.processor);
  std::printf("full export: %.3f s (%.3f s), %.1f MB/s\n", f.fullExport.wall, f.fullExport.processor,
              writtenMb / f.fullExport.wall);
  std::printf("added by the database categories (full export - media export): %.3f s (%.3f s), %.2f (%.2f) x the"
              " media export %s\n",
              added.wall, added.processor, added.wall / f.mediaExport.wall, added.processor / f.mediaExport.processor,
              addedTarget);
}

constexpr const char* kProgram = "bench_export";
constexpr const char* kUsage =
    "usage: bench_export [--scale small|large|N | --backup DIR]\n"
    "  --scale   size of the sample backup built for the run (default large)\n"
    "  --backup  use a sample backup that make-sample-backup wrote instead\n";

}  // namespace

int main(int argc, char** argv) {
  fixtures::SampleBackupOptions options;
  options.counts = fixtures::LargeSampleCounts();
  fs::path givenBackup;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (IsHelpOption(argument)) return ShowUsage(kUsage);
    if ((argument == "--scale" || argument == "--backup") && i + 1 >= argc)
      return RefuseArgument(kProgram, "a value is missing after", argument, kUsage);
    if (argument == "--scale") {
      if (!fixtures::ParseSampleScale(argv[++i], &options.counts))
        return RefuseArgument(kProgram, "not a scale", argv[i], kUsage);
    } else if (argument == "--backup") {
      givenBackup = argv[++i];
    } else {
      return RefuseUnexpected(kProgram, argument, kUsage);
    }
  }
  const fs::path dir = fs::temp_directory_path() / ("scrivel-bench-export-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const FolderRemover removeAtEnd{dir};  // declared before the scan's source, so removed after it is closed
  fs::path backup = givenBackup;
  if (backup.empty()) {
    backup = dir / "backup";
    std::printf("building the sample backup (%u messages, %u media files) ...\n", options.counts.messages,
                options.counts.mediaFiles);
    if (BuildSampleInChild(backup, options)) {
      std::fprintf(stderr, "could not build the sample backup\n");
      return 1;
    }
  }

  BackupInfo info;
  if (ReadBackupInfo(backup, info)) return 1;
  const fs::path appData = dir / "data";
  BackupEngine engine(appData, BackupsRootIn(appData));
  engine.SelectBackup(info);
  std::unique_ptr<IPhoneRecoveryParse> source = CreateRecoverySource(kSourceKindLocalBackup, &engine);
  ScanResults results;
  ScanObserver quiet;
  Clock::time_point start = Clock::now();
  if (RunScanSequence(*source, "", results, quiet)) {
    std::fprintf(stderr, "the scan failed\n");
    return 1;
  }
  std::printf("scan: %.2f s; peak memory after the scan: %.1f MB\n", SecondsSince(start), PeakMegabytes());

  // Reference: "cp -r" of a folder that holds the same media files (hard
  // links to the stored files, so the same bytes are read; copies where the
  // backup lies on another file system than the temporary folder).
  const std::vector<const FileItem*> media = MediaFiles(results);
  const fs::path linked = dir / "media-links";
  fs::create_directories(linked);
  std::uint64_t mediaBytes = 0;
  for (std::size_t i = 0; i < media.size(); ++i) {
    std::error_code linkError;
    fs::create_hard_link(media[i]->path, linked / std::to_string(i), linkError);
    if (linkError) fs::copy_file(media[i]->path, linked / std::to_string(i));
    mediaBytes += media[i]->size;
  }
  const auto copyCommand = [&](const std::string& target) {
    return "cp -r '" + linked.string() + "' '" + (dir / target).string() + "'";
  };
  if (std::system(copyCommand("cp-warm").c_str()) != 0) return 1;  // warms the page cache
  const auto timeCopy = [&](const std::string& target) {
    const double processorStart = ProcessorSeconds(RUSAGE_CHILDREN);
    const Clock::time_point copyStart = Clock::now();
    const bool copied = std::system(copyCommand(target).c_str()) == 0;
    const Timing timing{SecondsSince(copyStart), ProcessorSeconds(RUSAGE_CHILDREN) - processorStart};
    return copied ? timing : Timing{-1, -1};
  };
  const std::vector<CategoryKind> mediaKinds = {CategoryKind::kCameraRoll, CategoryKind::kPhotoStream,
                                                CategoryKind::kAppPhotos, CategoryKind::kAppVideos,
                                                CategoryKind::kMessageAttachments, CategoryKind::kWhatsAppAttachments};
  const std::vector<CategoryKind> databaseKinds = {CategoryKind::kMessages, CategoryKind::kContacts,
                                                   CategoryKind::kCallHistory, CategoryKind::kNotes,
                                                   CategoryKind::kWhatsApp};
  const std::vector<CategoryKind> allKinds(std::begin(kAllCategoryKinds), std::end(kAllCategoryKinds));
  // Other disk traffic on the machine makes single runs noisy: the steps
  // run in turns, and the best of each counts. Every run writes into a
  // folder of its own and nothing is removed before the end: on some file
  // systems creating files soon after many were deleted costs much more
  // (ext4 without a journal passes over recently freed inodes), which would
  // charge one step for the clean-up of another. Before each step what
  // earlier steps wrote goes to the disk, so that no step pays for
  // another's writing. Warm rounds read the backup from the page cache;
  // cold rounds drop it from there before each step, as when a user
  // exports from a backup that was not read lately.
  constexpr int kRounds = 3;
  bool ok = true;
  // The raw message rows ("sms.csv") come from the recovery source, which
  // decodes the message database once more: timed on their own as well.
  const auto timeMessageRowDump = [&](const std::string& target) {
    const std::string csvPath = (dir / target).string();
    const double processorStart = ProcessorSeconds(RUSAGE_SELF);
    const Clock::time_point dumpStart = Clock::now();
    const bool dumped = !source->ExportMessagesCsv(csvPath);
    const Timing timing{SecondsSince(dumpStart), ProcessorSeconds(RUSAGE_SELF) - processorStart};
    return dumped ? timing : Timing{-1, -1};
  };
  const auto measureRounds = [&](bool cold) {
    Figures figures;
    const auto prepare = [&] {
      sync();
      if (!cold) return;
      bench::DropFromPageCache(backup);
      bench::DropFromPageCache(linked);  // hard links to the same files, unless copies
    };
    for (int round = 0; round < kRounds; ++round) {
      const bool first = round == 0;
      const std::string suffix = (cold ? "-cold-" : "-") + std::to_string(round);
      prepare();
      const Timing copied = timeCopy("cp" + suffix);
      ok = ok && copied.wall >= 0;
      KeepBest(figures.copy, copied, first);
      bool stepOk = false;
      prepare();
      KeepBest(figures.mediaExport, TimeExport(results, *source, mediaKinds, dir / ("out-media" + suffix), &stepOk),
               first);
      ok = ok && stepOk;
      prepare();
      KeepBest(figures.databaseExport,
               TimeExport(results, *source, databaseKinds, dir / ("out-database" + suffix), &stepOk), first);
      ok = ok && stepOk;
      prepare();
      KeepBest(figures.fullExport, TimeExport(results, *source, allKinds, dir / ("out-all" + suffix), &stepOk), first);
      ok = ok && stepOk;
      prepare();
      const Timing dumped = timeMessageRowDump("sms" + suffix + ".csv");
      ok = ok && dumped.wall >= 0;
      KeepBest(figures.messageRowDump, dumped, first);
    }
    return figures;
  };
  const Figures warm = measureRounds(false);
  const bool canGoCold = bench::CanDropFromPageCache(backup / "Manifest.db");
  const Figures cold = canGoCold ? measureRounds(true) : Figures{};
  const double mb = 1024.0 * 1024.0;
  const double databaseMb = BytesBelow(dir / "out-database-0") / mb;
  const double rawRowMb =
      (BytesBelow(dir / "out-database-0", "sms.csv") + BytesBelow(dir / "out-database-0", "Contacts.csv")) / mb;
  const double writtenMb = BytesBelow(dir / "out-all-0") / mb;
  const double mediaMb = mediaBytes / mb;
  std::printf("media: %zu files, %.1f MB; database categories write %.1f MB (%.1f MB of it sms.csv and"
              " Contacts.csv); a full export writes %.1f MB\n",
              media.size(), mediaMb, databaseMb, rawRowMb, writtenMb);
  std::printf("best of %d runs each; wall-clock seconds, processor seconds (user + system) in brackets\n", kRounds);
  Report(warm, "warm: the backup in the page cache", "(the target is judged cold)", mediaMb, writtenMb);
  if (canGoCold) {
    Report(cold, "cold: the backup dropped from the page cache before each step", "(target below 1.00)", mediaMb,
           writtenMb);
  } else {
    std::printf("(no cold figures: the file system of %s keeps files in memory)\n", backup.c_str());
  }
  std::printf("peak memory of the process after the exports: %.1f MB\n", PeakMegabytes());
  return ok ? 0 : 1;
}
