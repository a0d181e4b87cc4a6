// Export speed: builds a sample backup (large by default), scans it, then
// times the export of the media categories against "cp -r" of the same
// files, the export of the database categories, and the whole export, and
// prints MB/s and the peak memory of the process.
//
// Usage: bench_export [--scale small|large|N | --backup DIR]
// (--backup reuses a sample backup that make-sample-backup wrote.)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

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

namespace {

namespace fs = std::filesystem;
using namespace scrivel;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::uint64_t BytesBelow(const fs::path& root) {
  std::uint64_t bytes = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  return bytes;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

// Exports the categories `kinds` of a scan into `out`; returns the seconds taken.
double TimeExport(ScanResults& results, IPhoneRecoveryParse& source, const std::vector<CategoryKind>& kinds,
                  const fs::path& out, bool* ok) {
  fs::remove_all(out);
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
  const Clock::time_point start = Clock::now();
  const int result = RunExport(request, progress);
  const double seconds = SecondsSince(start);
  *ok = result == kOk && progress.Counters().failed == 0;
  if (!*ok) std::fprintf(stderr, "export failed: result %d, %d failed\n", result, progress.Counters().failed);
  return seconds;
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

}  // namespace

int main(int argc, char** argv) {
  fixtures::SampleBackupOptions options;
  options.counts = fixtures::LargeSampleCounts();
  fs::path givenBackup;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--scale" && i + 1 < argc && fixtures::ParseSampleScale(argv[i + 1], &options.counts)) {
      ++i;
    } else if (argument == "--backup" && i + 1 < argc) {
      givenBackup = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench_export [--scale small|large|N | --backup DIR]\n");
      return 1;
    }
  }
  const fs::path dir = fs::temp_directory_path() / ("scrivel-bench-export-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  fs::path backup = givenBackup;
  if (backup.empty()) {
    backup = dir / "backup";
    std::printf("building the sample backup (%u messages, %u media files) ...\n", options.counts.messages,
                options.counts.mediaFiles);
    if (fixtures::BuildSampleBackup(backup, options, nullptr) != kOk) {
      std::fprintf(stderr, "could not build the sample backup\n");
      fs::remove_all(dir);
      return 1;
    }
  }

  BackupInfo info;
  if (ReadBackupInfo(backup, info) != kOk) return 1;
  const fs::path appData = dir / "data";
  BackupEngine engine(appData, BackupsRootIn(appData));
  engine.SelectBackup(info);
  std::unique_ptr<IPhoneRecoveryParse> source = CreateRecoverySource(kSourceKindLocalBackup, &engine);
  ScanResults results;
  ScanObserver quiet;
  Clock::time_point start = Clock::now();
  if (RunScanSequence(*source, "", results, quiet) != kOk) {
    std::fprintf(stderr, "the scan failed\n");
    fs::remove_all(dir);
    return 1;
  }
  std::printf("scan: %.2f s; peak memory after the scan: %.1f MB\n", SecondsSince(start), PeakMegabytes());

  // Reference: "cp -r" of a folder that holds the same media files (hard
  // links to the stored files, so the same bytes are read).
  const std::vector<const FileItem*> media = MediaFiles(results);
  const fs::path linked = dir / "media-links";
  fs::create_directories(linked);
  std::uint64_t mediaBytes = 0;
  for (std::size_t i = 0; i < media.size(); ++i) {
    fs::create_hard_link(media[i]->path, linked / std::to_string(i));
    mediaBytes += media[i]->size;
  }
  const std::string copyCommand = "cp -r '" + linked.string() + "' '" + (dir / "media-cp").string() + "'";
  if (std::system(copyCommand.c_str()) != 0) return 1;  // warms the page cache
  // Other disk traffic on the machine makes single runs noisy: the media
  // export and its reference run in turns, and the best of each counts.
  const auto timeCopy = [&]() {
    fs::remove_all(dir / "media-cp");
    const Clock::time_point copyStart = Clock::now();
    const bool copied = std::system(copyCommand.c_str()) == 0;
    const double seconds = SecondsSince(copyStart);
    fs::remove_all(dir / "media-cp");
    return copied ? seconds : -1.0;
  };
  const std::vector<CategoryKind> mediaKinds = {CategoryKind::kCameraRoll, CategoryKind::kPhotoStream,
                                                CategoryKind::kAppPhotos, CategoryKind::kAppVideos,
                                                CategoryKind::kMessageAttachments, CategoryKind::kWhatsAppAttachments};
  const std::vector<CategoryKind> databaseKinds = {CategoryKind::kMessages, CategoryKind::kContacts,
                                                   CategoryKind::kCallHistory, CategoryKind::kNotes,
                                                   CategoryKind::kWhatsApp};
  const std::vector<CategoryKind> allKinds(std::begin(kAllCategoryKinds), std::end(kAllCategoryKinds));
  constexpr int kRounds = 3;
  bool mediaOk = true, databaseOk = false, allOk = false;
  double copySeconds = 0, mediaSeconds = 0;
  for (int round = 0; round < kRounds; ++round) {
    const double copy = timeCopy();
    if (copy < 0) return 1;
    bool ok = false;
    const double exported = TimeExport(results, *source, mediaKinds, dir / "out-media", &ok);
    mediaOk = mediaOk && ok;
    copySeconds = round == 0 ? copy : std::min(copySeconds, copy);
    mediaSeconds = round == 0 ? exported : std::min(mediaSeconds, exported);
  }
  const double databaseSeconds = TimeExport(results, *source, databaseKinds, dir / "out-database", &databaseOk);
  const double allSeconds = TimeExport(results, *source, allKinds, dir / "out-all", &allOk);
  const std::uint64_t written = BytesBelow(dir / "out-all");
  std::uint64_t rawRowBytes = 0;  // sms.csv and Contacts.csv, written by the recovery source
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir / "out-database")) {
    if (entry.path().filename() == "sms.csv" || entry.path().filename() == "Contacts.csv") rawRowBytes += entry.file_size();
  }
  const double mb = 1024.0 * 1024.0;

  std::printf("media: %zu files, %.1f MB\n", media.size(), mediaBytes / mb);
  std::printf("best of %d runs each\n", kRounds);
  std::printf("cp -r of the media (reference): %.3f s, %.1f MB/s\n", copySeconds, mediaBytes / mb / copySeconds);
  std::printf("export of the media categories: %.3f s, %.1f MB/s\n", mediaSeconds, mediaBytes / mb / mediaSeconds);
  std::printf("ratio media export / cp -r: %.2f (target at most 1.50)\n", mediaSeconds / copySeconds);
  std::printf("export of the database categories: %.3f s, %.1f MB written (%.1f MB of it sms.csv and Contacts.csv),"
              " %.2f x the media export (target below 1.00)\n",
              databaseSeconds, BytesBelow(dir / "out-database") / mb, rawRowBytes / mb, databaseSeconds / mediaSeconds);
  std::printf("full export: %.3f s, %.1f MB written, %.1f MB/s\n", allSeconds, written / mb, written / mb / allSeconds);
  std::printf("peak memory of the process after the exports: %.1f MB\n", PeakMegabytes());

  source.reset();
  fs::remove_all(dir);
  return mediaOk && databaseOk && allOk ? 0 : 1;
}
