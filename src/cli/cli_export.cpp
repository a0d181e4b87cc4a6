// scrivel-cli export: scans one backup folder like "scan" and writes every
// item of the chosen categories into an export folder: copies of the stored
// files, the conversation, chat, contact, call and note pages, the text and
// CSV files, an index.html that links them, and (with --json) a
// records.json per category.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_scan_runner.h"
#include "core/backup/info_plist.h"
#include "core/common/app_directory.h"
#include "core/common/result_codes.h"
#include "core/export/export_worker.h"
#include "core/export/recovery_export_source.h"
#include "core/results/scan_categories.h"

namespace scrivel::cli {
namespace {

// Exit codes besides those of the scan (cli_scan_runner.h).
constexpr int kExitSomeFailed = 5;       // the export ran, but some files could not be written
constexpr int kExitMissingTemplate = 6;  // a page template is missing; nothing was written

// The names --category takes, separated by commas, in lines that fit the
// help's description column.
std::string categoryNames() {
  constexpr std::size_t kLineMax = 70;
  std::string names;
  std::size_t lineStart = 0;
  for (CategoryKind kind : kAllCategoryKinds) {
    const std::string_view name = CategoryCliName(kind);
    if (!names.empty()) names += ",";
    if (names.size() - lineStart + name.size() + 1 > kLineMax) {
      names += "\n";
      lineStart = names.size();
    } else if (!names.empty()) {
      names += " ";
    }
    names += name;
  }
  return names;
}

struct ExportOptions {
  ScanRunOptions run;
  std::string outDir;
  std::vector<std::string> categories;  // --category values, each a comma-separated list; empty: every category
  bool deletedOnly = false;
  bool json = false;
};

bool addCategories(std::string_view list, std::vector<CategoryKind>& kinds) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    const CategoryKind kind = CategoryKindFromCliName(name);
    if (kind == CategoryKind::kNone) {
      std::fprintf(stderr, "scrivel-cli export: unknown category '%.*s'\n", static_cast<int>(name.size()), name.data());
      return false;
    }
    kinds.push_back(kind);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return true;
}

// True when `inner` is `outer` or lies below it (after resolving links and
// "..", as far as the paths exist).
bool isSameOrInside(const std::filesystem::path& inner, const std::filesystem::path& outer) {
  std::error_code error;
  const std::filesystem::path a = std::filesystem::weakly_canonical(inner, error);
  if (error) return false;
  const std::filesystem::path b = std::filesystem::weakly_canonical(outer, error);
  if (error) return false;
  auto innerPart = a.begin();
  for (auto outerPart = b.begin(); outerPart != b.end(); ++outerPart, ++innerPart) {
    if (outerPart->empty()) continue;  // the trailing "" of a path ending in "/"
    if (innerPart == a.end() || *innerPart != *outerPart) return false;
  }
  return true;
}

// Draws "[#####.....]  42%  12/30 files" on standard error and turns Ctrl-C
// into a cancel of the export.
class ExportProgressBar : public IExportObserver {
 public:
  ExportProgressBar(bool enabled, ExportProgress*& progress) : m_enabled(enabled), m_progress(progress) {}

  void OnProgress(int, const std::string&, const ExportCounters& counters) override {
    if (CancelRequested() && m_progress != nullptr) m_progress->Cancel();
    if (!m_enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (counters.processed == m_shownProcessed && now - m_lastDraw < std::chrono::milliseconds(200)) return;
    m_lastDraw = now;
    m_shownProcessed = counters.processed;
    draw(counters);
  }
  void OnResultRow(const ExportResultRow&) override {}

  void Finish(const ExportCounters& counters) {
    if (!m_enabled) return;
    draw(counters);
    std::fprintf(stderr, "\n");
  }

 private:
  void draw(const ExportCounters& counters) {
    constexpr int kWidth = 30;
    const int percent = counters.total > 0 ? static_cast<int>(std::min<long long>(
                                                 100, static_cast<long long>(counters.processed) * 100 / counters.total))
                                           : 100;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%.*s%.*s] %3d%%  %d/%d exported ", filled, "##############################",
                 kWidth - filled, "..............................", percent, counters.processed, counters.total);
    std::fflush(stderr);
  }

  bool m_enabled;
  ExportProgress*& m_progress;
  int m_shownProcessed = -1;
  std::chrono::steady_clock::time_point m_lastDraw;
};

void printSummary(const std::string& outDir, const std::string& indexPath, const ExportProgress& progress,
                  bool cancelled) {
  const ExportCounters counters = progress.Counters();
  std::printf("%s %s\n", cancelled ? "Export cancelled; written so far into" : "Exported into", outDir.c_str());
  std::printf("  processed: %d  succeeded: %d  failed: %d  (of %d selected)\n", counters.processed,
              counters.processed - counters.failed, counters.failed, counters.total);
  bool header = false;
  for (const ExportResultRow& row : progress.Rows()) {
    if (row.succeeded) continue;
    if (!header) std::printf("Failed:\n");
    header = true;
    std::printf("  %s: %s\n", row.path.c_str(), row.status.c_str());
  }
  if (indexPath.empty()) return;
  const std::string usualIndex = outDir + "/index.html";
  if (indexPath != usualIndex) {
    std::printf("%s was already there and is left as it was; the index of this export is %s.\n",
                usualIndex.c_str(), indexPath.c_str());
  }
  std::printf("Open %s to browse what was recovered.\n", indexPath.c_str());
}

int runExport(ExportOptions options) {
  std::vector<CategoryKind> kinds;
  for (const std::string& list : options.categories) {
    if (!addCategories(list, kinds)) return kExitUsage;
  }
  while (options.outDir.size() > 1 && options.outDir.back() == '/') options.outDir.pop_back();
  if (isSameOrInside(options.outDir, options.run.sourceFolder)) {
    std::fprintf(stderr, "scrivel-cli export: OUT_DIR must lie outside the backup folder, which is never written\n");
    return kExitUsage;
  }
  std::error_code error;
  if (std::filesystem::exists(options.outDir, error) && !std::filesystem::is_directory(options.outDir, error)) {
    std::fprintf(stderr, "scrivel-cli export: OUT_DIR '%s' is a file, not a folder; give a folder (it is created when missing)\n",
                 options.outDir.c_str());
    return kExitUsage;
  }
  if (kinds.empty()) kinds.assign(std::begin(kAllCategoryKinds), std::end(kAllCategoryKinds));

  BackupInfo info;
  const bool haveInfo = !ReadBackupInfo(options.run.sourceFolder, info);
  CStatisticsObj statistics;
  ScanRun run;
  ExportProgress* progressForBar = nullptr;
  ExportProgressBar bar(options.run.showProgress && ::isatty(STDERR_FILENO), progressForBar);
  ExportProgress progress(&bar);
  progressForBar = &progress;

  ExportRequest request;
  request.exportRoot = options.outDir;
  request.deviceName = haveInfo && !info.displayName.empty() ? info.displayName : "iPhone";
  request.templateFolder = GetAppDirectory() + "template/";
  request.writeRecordsJson = options.json;
  request.writeIndex = true;
  request.statistics = &statistics;
  request.conversations = &run.results.messages;
  request.chats = &run.results.whatsApp;
  CExportWorker worker(request, progress);
  // The templates are checked before the scan, so a broken installation
  // fails at once and writes nothing.
  if (worker.LoadTemplates()) {
    std::fprintf(stderr, "scrivel-cli export: the page template '%s' is missing or has no {|content|}; nothing was written\n",
                 worker.FailedTemplate().c_str());
    return kExitMissingTemplate;
  }

  const int scanned = RunCliScan("scrivel-cli export", options.run, run);
  if (scanned != kExitOk) return scanned;

  ConversationRows rows;
  for (CategoryKind kind : kinds) {
    PrepareCategory(kind, run.results, rows);
    RegisterScanCategory(statistics, kind, run.results, rows);
    if (options.deletedOnly) SetDeletedOnlyFilter(statistics, kind, true);
  }
  RecoveryExportSource source(*run.source);
  worker.SetSource(&source);
  // What the scan could not read is listed with the export's results.
  std::map<CategoryKind, std::string> problems;
  for (CategoryKind kind : kinds) {
    const auto found = run.results.problems.find(kind);
    if (found != run.results.problems.end()) problems.insert(*found);
  }
  worker.SetScanProblems(&problems);

  const std::error_code result = worker.Run();
  bar.Finish(progress.Counters());
  printSummary(options.outDir, worker.IndexPath(), progress, result == kCancelled);
  if (result == kCancelled) return kExitCancelled;
  return progress.Counters().failed > 0 ? kExitSomeFailed : kExitOk;
}

}  // namespace

void defineExport(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<ExportOptions>();
  command.add_option("SOURCE", options->run.sourceFolder, "the backup folder")->required();
  command.add_option("OUT_DIR", options->outDir, "the export folder (created when missing)")->required();
  command.add_flag("--password-stdin", options->run.passwordFromStdin, "read the backup password from standard input");
  command.add_flag("--deleted-only", options->deletedOnly,
                   "only deleted records of messages, contacts, call history, notes and WhatsApp\n"
                   "(files are exported as chosen)");
  command.add_option("--category", options->categories,
                     "export only this category; repeat it or give a comma-separated list. Names:\n" +
                         categoryNames())
      ->type_name("NAME")
      ->expected(1)
      ->allow_extra_args(false)
      ->take_all();
  command.add_flag("--json", options->json,
                   "also write records.json per category, every field of every exported record\n"
                   "with its deleted flag");
  command.add_flag_callback("--no-progress", [options] { options->run.showProgress = false; },
                            "no progress bar on standard error");
  command.footer("Scans the backup folder SOURCE and writes what it holds into OUT_DIR: copies of\n"
                 "photos, videos and attachments, pages of messages, WhatsApp chats, contacts,\n"
                 "calls and notes, their text and CSV files, and OUT_DIR/index.html linking every\n"
                 "page. The backup is only read; OUT_DIR must lie outside it.\n\n"
                 "Exit codes: 0 done, 1 bad arguments, 2 cancelled, 3 wrong or missing password,\n"
                 "4 the backup could not be opened, 5 some files failed, 6 a page template is missing.");
  command.callback([options, &exitCode] { exitCode = runExport(*options); });
}

}  // namespace scrivel::cli
