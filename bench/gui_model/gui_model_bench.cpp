// Benchmark of the data list: how long the desktop application takes to
// show and scroll the rows of a category, next to how long the core took
// to produce them. The large sample is scanned in-process (each category
// timed, with its sorting and condensing); then, for each record category
// and for a category of 200,000 rows (the sample's calls repeated), the
// rows are registered with the selection statistics, put into the list
// model behind its proxy, shown in the list view and scrolled from top to
// bottom, each step painted.
//
// The target: filling and scrolling cost little next to producing the rows
// (ratio well below 1), and no single scroll step takes long enough to be
// seen (a frame is about 16 ms).
//
// Usage: bench_gui_model [--help] [BACKUP_DIR]   (default: the large modern
// sample in bench-data/scan-large beside the executable, built once)
#include <QApplication>
#include <algorithm>
#include <vector>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "core/backup/backup_engine.h"
#include "core/backup/info_plist.h"
#include "core/common/app_directory.h"
#include "core/common/result_codes.h"
#include "core/recovery/local_backup_recovery.h"
#include "core/recovery/scan_sequence.h"
#include "core/results/scan_categories.h"
#include "core/results/statistics_items.h"
#include "fixtures/sample_backup.h"
#include "gui/controls/result_list_view.h"
#include "gui/models/result_filter_proxy.h"
#include "gui/models/result_item_delegate.h"
#include "gui/models/result_list_model.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using scrivel::CategoryKind;

constexpr std::size_t kLargeCategoryRows = 200000;

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

// Times each scan step, keyed by the first category it fills.
class StepTimer : public scrivel::ScanObserver {
 public:
  explicit StepTimer(scrivel::ScanResults& results, scrivel::ConversationRows& rows) : m_results(results), m_rows(rows) {}
  void OnScanStarting(std::string_view) override { m_start = Clock::now(); }
  void OnCategoriesDone(std::span<const CategoryKind> kinds) override {
    for (CategoryKind kind : kinds) scrivel::PrepareCategory(kind, m_results, m_rows);
    const double ms = msSince(m_start);
    for (CategoryKind kind : kinds) m_ms[kind] = ms;
  }
  double ms(CategoryKind kind) const {
    const auto found = m_ms.find(kind);
    return found != m_ms.end() ? found->second : 0.0;
  }

 private:
  scrivel::ScanResults& m_results;
  scrivel::ConversationRows& m_rows;
  Clock::time_point m_start;
  std::map<CategoryKind, double> m_ms;
};

struct ViewFigures {
  double registerMs = 0;
  double fillMs = 0;
  double firstPaintMs = 0;
  double scrollTotalMs = 0;
  double scrollMaxMs = 0;
  double scrollP95Ms = 0;
  int scrollSteps = 0;
};

// Shows the category in a list view and scrolls it top to bottom in page
// steps (at most `maxSteps`, spread evenly), painting every step.
template <typename Fill>
ViewFigures MeasureView(scrivel::CStatisticsObj& statistics, Fill fill, int maxSteps) {
  ViewFigures figures;
  scrivel::gui::CResultListModel model;
  model.SetStatistics(&statistics);
  scrivel::gui::CResultFilterProxy proxy;
  proxy.setSourceModel(&model);
  scrivel::gui::CResultListView view;
  view.setItemDelegate(new scrivel::gui::CResultItemDelegate(&view));
  view.resize(900, 700);
  view.setModel(&proxy);
  view.show();
  QApplication::processEvents();

  auto start = Clock::now();
  fill(model);
  figures.fillMs = msSince(start);
  start = Clock::now();
  view.header()->resizeSection(0, 220);
  view.viewport()->repaint();
  figures.firstPaintMs = msSince(start);

  QScrollBar* bar = view.verticalScrollBar();
  const int pages = bar->maximum() / std::max(1, bar->pageStep()) + 1;
  const int stride = std::max(1, pages / maxSteps);
  std::vector<double> steps;
  for (int page = 0; page <= pages; page += stride) {
    start = Clock::now();
    bar->setValue(std::min(bar->maximum(), page * bar->pageStep()));
    view.viewport()->repaint();
    const double ms = msSince(start);
    figures.scrollTotalMs += ms;
    figures.scrollMaxMs = std::max(figures.scrollMaxMs, ms);
    steps.push_back(ms);
  }
  figures.scrollSteps = static_cast<int>(steps.size());
  if (!steps.empty()) {
    std::sort(steps.begin(), steps.end());
    figures.scrollP95Ms = steps[steps.size() * 95 / 100];
  }
  return figures;
}

void PrintRow(const char* name, std::size_t rows, double coreMs, double scanMs, const ViewFigures& f) {
  const double shownMs = f.registerMs + f.fillMs + f.firstPaintMs;
  std::printf("%-16s %7zu %8.1f %7.1f %7.2f %7.2f %6d %7.2f %7.2f %7.2f %8.3f %8.4f\n", name, rows, coreMs,
              f.registerMs, f.fillMs, f.firstPaintMs, f.scrollSteps,
              f.scrollSteps > 0 ? f.scrollTotalMs / f.scrollSteps : 0.0, f.scrollP95Ms, f.scrollMaxMs,
              coreMs > 0 ? shownMs / coreMs : 0.0, scanMs > 0 ? shownMs / scanMs : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::printf("usage: bench_gui_model [BACKUP_DIR]\n"
                "Times filling and scrolling the data list of each record category of a scanned\n"
                "backup, and of a 200,000-row category, against the core's time to produce the rows.\n"
                "Default backup: the large sample in bench-data/scan-large beside the executable.\n");
    return 0;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  const fs::path bin = scrivel::GetAppDirectory();
  fs::path backup = argc > 1 ? fs::path(argv[1]) : bin / "bench-data" / "scan-large";
  if (!fs::exists(backup / "Info.plist")) {
    std::printf("building the large sample into %s (once)...\n", backup.c_str());
    scrivel::fixtures::SampleBackupOptions options;
    options.counts = scrivel::fixtures::LargeSampleCounts();
    if (scrivel::fixtures::BuildSampleBackup(backup, options, nullptr)) {
      std::fprintf(stderr, "cannot build the sample backup\n");
      return 1;
    }
  }

  // The core: a whole scan, each category timed with its sorting and rows.
  const fs::path work = fs::temp_directory_path() / ("scrivel-bench-gui-" + std::to_string(::getpid()));
  scrivel::BackupInfo info;
  if (scrivel::ReadBackupInfo(backup, info)) {
    std::fprintf(stderr, "%s is not a backup\n", backup.c_str());
    return 1;
  }
  scrivel::ScanResults results;
  scrivel::ConversationRows rows;
  StepTimer timer(results, rows);
  double scanMs = 0;
  {
    scrivel::BackupEngine engine(work, work / "backups");
    engine.SelectBackup(info);
    auto source = scrivel::CreateRecoverySource(scrivel::kSourceKindLocalBackup, &engine);
    const auto start = Clock::now();
    const std::error_code scanned = scrivel::RunScanSequence(*source, "", results, timer);
    scanMs = msSince(start);
    std::printf("scan of %s: %.0f ms (%s)\n\n", backup.c_str(), scanMs, scanned ? scanned.message().c_str() : "completed");
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);

  std::printf("%-16s %7s %8s %7s %7s %7s %6s %7s %7s %7s %8s %8s\n", "category", "rows", "core ms", "reg ms",
              "fill ms", "paint", "steps", "avg ms", "p95 ms", "max ms", "/core", "/scan");
  scrivel::CStatisticsObj statistics;
  const auto measure = [&](const char* name, CategoryKind kind, std::size_t count, auto fill) {
    auto start = Clock::now();
    scrivel::RegisterScanCategory(statistics, kind, results, rows);
    const double registerMs = msSince(start);
    ViewFigures figures = MeasureView(statistics, fill, 2000);
    figures.registerMs = registerMs;
    PrintRow(name, count, timer.ms(kind), scanMs, figures);
  };
  using Model = scrivel::gui::CResultListModel;
  measure("Messages", CategoryKind::kMessages, rows.conversations.size(), [&](Model& m) { m.ShowConversations(rows.conversations); });
  measure("Contacts", CategoryKind::kContacts, results.contacts.size(), [&](Model& m) { m.ShowContacts(results.contacts); });
  measure("Call History", CategoryKind::kCallHistory, results.calls.size(), [&](Model& m) { m.ShowCalls(results.calls); });
  measure("Notes", CategoryKind::kNotes, results.notes.size(), [&](Model& m) { m.ShowNotes(results.notes); });
  measure("WhatsApp", CategoryKind::kWhatsApp, rows.chats.size(), [&](Model& m) { m.ShowChats(rows.chats); });

  // 200,000 rows: the sample's calls repeated; the core's time is that of
  // the call-history scan scaled by the same factor.
  if (!results.calls.empty()) {
    const double callsCoreMs = timer.ms(CategoryKind::kCallHistory);
    const std::size_t original = results.calls.size();
    std::vector<scrivel::CallItem> large;
    large.reserve(kLargeCategoryRows);
    while (large.size() < kLargeCategoryRows) large.push_back(results.calls[large.size() % original]);
    scrivel::CStatisticsObj largeStatistics;
    auto start = Clock::now();
    largeStatistics.RegisterCategory(&large, CategoryKind::kCallHistory, scrivel::MakeStatisticsItems(large));
    const double registerMs = msSince(start);
    ViewFigures figures = MeasureView(largeStatistics, [&](Model& m) { m.ShowCalls(large); }, 2000);
    figures.registerMs = registerMs;
    const double scaledCoreMs = callsCoreMs * static_cast<double>(kLargeCategoryRows) / static_cast<double>(original);
    const double scaledScanMs = scanMs * static_cast<double>(kLargeCategoryRows) / static_cast<double>(original);
    PrintRow("Calls x200,000", large.size(), scaledCoreMs, scaledScanMs, figures);

    // Sorting and searching the 200,000 rows (header click, search box).
    scrivel::gui::CResultListModel model;
    model.SetStatistics(&largeStatistics);
    model.ShowCalls(large);
    scrivel::gui::CResultFilterProxy proxy;
    proxy.setSourceModel(&model);
    start = Clock::now();
    proxy.sort(2, Qt::DescendingOrder);
    const double sortMs = msSince(start);
    start = Clock::now();
    proxy.SetSearchText(QStringLiteral("smith"));
    const double searchMs = msSince(start);
    std::printf("\n200,000 rows: sort by date %.1f ms; search \"smith\" %.1f ms (%d rows match)\n", sortMs, searchMs,
                proxy.rowCount());
  }
  std::printf(
      "\ncore ms: the category's scan step with its sorting and rows (the large databases are read ahead on\n"
      "worker threads, so this is the assembly's share); /core and /scan: (register + fill + first paint)\n"
      "against that step and against the whole scan (both scaled for the 200,000 rows). A step is one page\n"
      "scrolled and painted; the first steps load fonts for the scripts they meet.\n");
  return 0;
}
