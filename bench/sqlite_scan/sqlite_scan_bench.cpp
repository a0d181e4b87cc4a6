// Benchmark of the SQLite recovery engine on generated sms.db files, each
// figure next to the SQLite library doing equal decoding work in the same
// run: for every table, prepare "SELECT * FROM t", step every row and read
// every column with sqlite3_column_* (the live rows only, once). The
// engine's walks read every value of every row they hand over.
//
// Targets, on the largest sample:
//   (a) every table with every source (live rows, every place a deleted row
//       survives, the lost and found) / the library reading every table   <= 1
//   (b) the walk of the "message" table alone (its live rows, read without
//       a database engine) / the library reading "message"                 <= 0.7
//   (c) the time per megabyte of every table stays level across three sizes
//       (largest over smallest at most 1.25: the time grows linearly)
//   (d) the peak memory stays level across the sizes and with a WAL (a copy
//       of the largest in WAL mode with a quarter of its messages deleted
//       and a seventh edited in its -wal): at most 1.25 times the smallest
// Also printed, without a target: the "message" table with every source
// (its share of the search of the whole file, which every table's first
// recovery runs), and the message decoder of the app layer on the engine.
//
// Each walk runs in a child process of its own (this program started again
// with --walk), so its peak memory is its alone. Figures are processor time
// (user + system) with the files in the page cache: the best of five runs
// after one that warms the cache.
//
//   bench_sqlite_scan [WORK_FOLDER]
//
// Builds the sample backups (50,000, 100,000 and 200,000 messages) under
// WORK_FOLDER (default: the system's temporary folder) unless they are there
// from an earlier run, and the WAL copy beside them.
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/apps/table_decoders.h"
#include "core/common/program_arguments.h"
#include "core/sqlite/database_recovery.h"
#include "core/sqlite/record.h"
#include "fixtures/sample_backup.h"
#include "fixtures/stored_databases.h"

namespace sr = scrivel::sqlite;
namespace apps = scrivel::apps;
namespace fx = scrivel::fixtures;
namespace fs = std::filesystem;

namespace {

constexpr double kAllTablesTarget = 1.0;
constexpr double kMessageTarget = 0.7;
constexpr double kLevelTarget = 1.25;  // largest over smallest, for time per MB and for peak memory
// Measured runs per figure, after one that warms the cache: the best counts
// (a shared machine slows single runs down at random).
constexpr int kRuns = 5;

// Peak resident memory of this process in KiB (VmHWM, which starts afresh
// at exec, unlike the rusage figure a forked child inherits).
long PeakResidentKiB() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  long peak = 0;
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, "VmHWM:", 6) == 0) peak = std::strtol(line + 6, nullptr, 10);
  std::fclose(status);
  return peak;
}

struct Counts {
  std::size_t records = 0;
  std::size_t deleted = 0;
  std::size_t valueBytes = 0;  // read so that the reads are not optimised away
};

// The SQLite library reading the live rows of `onlyTable` (or of every
// table), every column of every row.
bool LibraryWalk(const std::string& path, const std::string& onlyTable, Counts* counts) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  std::vector<std::string> tables;
  sqlite3_stmt* list = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &list, nullptr) == SQLITE_OK)
    while (sqlite3_step(list) == SQLITE_ROW)
      tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  sqlite3_finalize(list);
  std::size_t bytes = 0;
  for (const std::string& table : tables) {
    if (!onlyTable.empty() && table != onlyTable) continue;
    sqlite3_stmt* select = nullptr;
    const std::string sql = "SELECT * FROM \"" + table + "\"";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &select, nullptr) != SQLITE_OK) continue;
    const int columns = sqlite3_column_count(select);
    while (sqlite3_step(select) == SQLITE_ROW) {
      ++counts->records;
      for (int c = 0; c < columns; ++c) {
        switch (sqlite3_column_type(select, c)) {
          case SQLITE_INTEGER: bytes += static_cast<std::size_t>(sqlite3_column_int64(select, c)) & 1; break;
          case SQLITE_FLOAT: bytes += sqlite3_column_double(select, c) > 0; break;
          case SQLITE_TEXT: bytes += sqlite3_column_text(select, c) ? sqlite3_column_bytes(select, c) : 0; break;
          case SQLITE_BLOB: bytes += sqlite3_column_blob(select, c) ? sqlite3_column_bytes(select, c) : 0; break;
          default: break;
        }
      }
    }
    sqlite3_finalize(select);
  }
  sqlite3_close(db);
  counts->deleted = bytes & 1;  // keeps the column reads from being optimised away
  return true;
}

// The message decoder on the engine: every message of "message" with its
// handle, chat and attachment joined, live and deleted.
bool DecoderWalk(const std::string& path, Counts* counts) {
  sr::DatabaseRecovery recovery;
  if (recovery.Open(path)) return false;
  (void)apps::ForEachMessage(recovery, [&](apps::MessageItem&& item) {
    ++counts->records;
    counts->deleted += item.deleted;
  });
  return true;
}

// Counts the rows and reads every value of each, as the library walk reads
// every column.
class CountingSink : public sr::RowSink {
 public:
  explicit CountingSink(Counts* counts) : m_counts(counts) {}
  void OnRow(const sr::RecoveredTable&, const sr::RecoveredRow& row) override {
    ++m_counts->records;
    m_counts->deleted += row.deleted ? 1 : 0;
    const auto layout = sr::LiveRecordLayout(row.record);
    if (!layout) return;
    (void)sr::ForEachColumn(row.record, *layout, [&](int, const sr::ColumnValue& value) {
      m_bytes += value.IsNull() ? 0 : value.bytes.size();
    });
  }
  ~CountingSink() override { m_counts->valueBytes = m_bytes; }

 private:
  Counts* m_counts;
  std::size_t m_bytes = 0;
};

// The recovery engine: every row of `onlyTable` (or of every table, and
// the lost and found) from every source.
bool EngineWalk(const std::string& path, const std::string& onlyTable, bool liveOnly, Counts* counts) {
  sr::DatabaseRecovery recovery;
  sr::RecoveryOptions options;
  options.liveOnly = liveOnly;
  if (recovery.Open(path, options)) return false;
  CountingSink sink(counts);
  for (std::size_t i = 0; i < recovery.Tables().size(); ++i)
    if (onlyTable.empty() || recovery.Tables()[i].name == onlyTable) (void)recovery.Recover(i, sink);
  if (onlyTable.empty()) recovery.LostAndFound(sink);
  return true;
}

// The walks, run in the child: prints "<records> <deleted> <peak KiB>".
int Walk(const std::string& mode, const std::string& path) {
  Counts counts;
  bool ok = false;
  if (mode == "library-all") ok = LibraryWalk(path, "", &counts);
  if (mode == "library-message") ok = LibraryWalk(path, "message", &counts);
  if (mode == "decoder-message") ok = DecoderWalk(path, &counts);
  if (mode == "engine-all") ok = EngineWalk(path, "", false, &counts);
  if (mode == "engine-message") ok = EngineWalk(path, "message", false, &counts);
  if (mode == "engine-message-live") ok = EngineWalk(path, "message", true, &counts);
  if (!ok) return 1;
  std::printf("%zu %zu %ld\n", counts.records, counts.deleted, PeakResidentKiB());
  return 0;
}

struct Run {
  bool ok = false;
  double cpuSeconds = 0;  // user + system time of the child
  std::size_t records = 0;
  std::size_t deleted = 0;
  long peakKiB = 0;
};

// Runs this program with `--walk mode path` in a child and reads back what
// it printed.
Run RunWalk(const std::string& self, const std::string& mode, const fs::path& db, const fs::path& outputPath) {
  Run run;
  std::fflush(nullptr);  // or the child writes this process's buffered output once more
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(outputPath.c_str(), "w", stdout)) _exit(127);
    execl(self.c_str(), self.c_str(), "--walk", mode.c_str(), db.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (std::FILE* in = std::fopen(outputPath.c_str(), "r")) {
    run.ok = std::fscanf(in, "%zu %zu %ld", &run.records, &run.deleted, &run.peakKiB) == 3;
    std::fclose(in);
  }
  return run;
}

// The least processor time of three runs, after one that warms the cache.
Run Best(const std::string& self, const std::string& mode, const fs::path& db, const fs::path& outputPath) {
  Run best = RunWalk(self, mode, db, outputPath);
  if (!best.ok) return best;
  for (int i = 0; i < kRuns; ++i) {
    const Run run = RunWalk(self, mode, db, outputPath);
    if (!run.ok) return run;
    if (i == 0 || run.cpuSeconds < best.cpuSeconds) best = run;
  }
  return best;
}

fs::path SmsDatabase(const fs::path& work, std::uint32_t messages) {
  const fs::path backup = work / ("scrivel-bench-sample-" + std::to_string(messages));
  fx::SampleBackupOptions options;
  options.counts = fx::SampleCountsForMessages(messages);
  const fs::path db = fx::StoredFilePathIn(backup, options.layout, fx::kSmsDatabase.fileId);
  if (fs::exists(db)) return db;
  fs::remove_all(backup);
  std::fprintf(stderr, "building a sample backup with %u messages in %s ...\n", messages, backup.c_str());
  if (fx::BuildSampleBackup(backup, options, nullptr)) return {};
  return db;
}

bool Execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// A copy of `db` in WAL mode whose last changes (a quarter of the messages
// deleted, a seventh edited) are in its -wal: the files are copied while
// the connection that wrote them is still open, before a checkpoint.
fs::path WalCopy(const fs::path& work, const fs::path& db) {
  const fs::path folder = work / "scrivel-bench-wal";
  const fs::path copy = folder / "sms.db";
  if (fs::exists(copy) && fs::exists(copy.string() + "-wal")) return copy;
  fs::remove_all(folder);
  fs::create_directories(folder / "writing");
  const fs::path writing = folder / "writing" / "sms.db";
  fs::copy_file(db, writing);
  sqlite3* handle = nullptr;
  bool ok = sqlite3_open(writing.c_str(), &handle) == SQLITE_OK && Execute(handle, "PRAGMA journal_mode = WAL") &&
            Execute(handle, "PRAGMA wal_autocheckpoint = 0") &&
            Execute(handle, "DELETE FROM message WHERE ROWID % 4 = 0") &&
            Execute(handle, "UPDATE message SET text = text || ' (edited)' WHERE ROWID % 7 = 0");
  if (ok) {
    fs::copy_file(writing.string() + "-wal", copy.string() + "-wal");
    fs::copy_file(writing, copy);
  }
  sqlite3_close(handle);
  fs::remove_all(folder / "writing");
  return ok ? copy : fs::path();
}

const char* Verdict(bool pass) { return pass ? "PASS" : "MISS"; }

double Megabytes(const fs::path& db) {
  double bytes = static_cast<double>(fs::file_size(db));
  if (fs::exists(db.string() + "-wal")) bytes += static_cast<double>(fs::file_size(db.string() + "-wal"));
  return bytes / 1e6;
}

void PrintRun(const char* what, const Run& run, double megabytes) {
  if (!run.ok) {
    std::printf("  %-46s failed\n", what);
    return;
  }
  std::printf("  %-46s cpu %7.3f s (%6.1f MB/s)  rows %zu, deleted %zu, peak %ld KiB\n", what, run.cpuSeconds,
              megabytes / run.cpuSeconds, run.records, run.deleted, run.peakKiB);
}

void PrintRatio(const char* what, const Run& walk, const Run& reference, double target) {
  if (!walk.ok || !reference.ok) return;
  const double ratio = walk.cpuSeconds / reference.cpuSeconds;
  std::printf("  ratio %-40s %5.2f  (target <= %.2f) %s\n", what, ratio, target, Verdict(ratio <= target));
}

// Per size: the walk of every table, for (c) and (d).
struct SizeFigures {
  double megabytes = 0;
  Run all;
};

constexpr const char* kProgram = "bench_sqlite_scan";
constexpr const char* kUsage =
    "usage: bench_sqlite_scan [WORK_FOLDER]\n"
    "  WORK_FOLDER  where the sample backups are built, or found from an earlier run\n"
    "               (default: the system's temporary folder)\n"
    "(bench_sqlite_scan --walk MODE DB is how it runs each measured walk itself.)\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--walk") == 0) return Walk(argv[2], argv[3]);
  fs::path work;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (scrivel::IsHelpOption(argument)) return scrivel::ShowUsage(kUsage);
    if (!work.empty() || argument.starts_with("-")) return scrivel::RefuseUnexpected(kProgram, argument, kUsage);
    work = argument;
  }
  if (work.empty()) work = fs::temp_directory_path();
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const fs::path output = work / "scrivel-bench-output.txt";
  const std::string allWalk = "engine-all", messageWalk = "engine-message", walker = "recovery engine";

  std::vector<SizeFigures> sizes;
  fs::path largest;
  for (const std::uint32_t messages : {50000u, 100000u, 200000u}) {
    const fs::path db = SmsDatabase(work, messages);
    if (db.empty()) {
      std::fprintf(stderr, "could not build the sample with %u messages\n", messages);
      return 1;
    }
    SizeFigures figures{Megabytes(db), Best(self, allWalk, db, output)};
    std::printf("\n%s: %.1f MB (%u messages)\n", db.c_str(), figures.megabytes, messages);
    PrintRun(("every table, " + walker).c_str(), figures.all, figures.megabytes);
    sizes.push_back(figures);
    largest = db;
  }

  // (a) and (b) on the largest.
  const double megabytes = Megabytes(largest);
  const Run all = sizes.back().all;
  const Run messageLive = Best(self, "engine-message-live", largest, output);
  const Run message = Best(self, messageWalk, largest, output);
  const Run libraryAll = Best(self, "library-all", largest, output);
  const Run libraryMessage = Best(self, "library-message", largest, output);
  std::printf("\nEqual work on the largest sample (%.1f MB):\n", megabytes);
  PrintRun(("every table, " + walker).c_str(), all, megabytes);
  PrintRun("every table, SQLite library (live rows)", libraryAll, megabytes);
  PrintRun("\"message\", walk of its live rows", messageLive, megabytes);
  PrintRun("\"message\", SQLite library (live rows)", libraryMessage, megabytes);
  PrintRatio("(a) every table / library", all, libraryAll, kAllTablesTarget);
  PrintRatio("(b) \"message\" walk / library", messageLive, libraryMessage, kMessageTarget);
  PrintRun(("\"message\", every source, " + walker).c_str(), message, megabytes);
  // The message decoder on the engine, for comparison.
  const Run decoderMessage = Best(self, "decoder-message", largest, output);
  PrintRun("\"message\", message decoder on the engine", decoderMessage, megabytes);

  // (c) time per MB and (d) peak memory across the sizes, and with a WAL.
  std::printf("\nAcross sizes (every table, %s):\n", walker.c_str());
  for (const SizeFigures& size : sizes)
    if (size.all.ok)
      std::printf("  %7.1f MB  %6.3f s/100 MB  peak %ld KiB\n", size.megabytes, 100 * size.all.cpuSeconds / size.megabytes,
                  size.all.peakKiB);
  const fs::path wal = WalCopy(work, largest);
  Run walRun;
  if (!wal.empty()) {
    walRun = Best(self, allWalk, wal, output);
    std::printf("  %7.1f MB  %6.3f s/100 MB  peak %ld KiB  (WAL copy of the largest: file + -wal)\n", Megabytes(wal),
                walRun.ok ? 100 * walRun.cpuSeconds / Megabytes(wal) : 0.0, walRun.peakKiB);
  }
  const SizeFigures& small = sizes.front();
  const SizeFigures& large = sizes.back();
  if (small.all.ok && large.all.ok) {
    const double timeGrowth = (large.all.cpuSeconds / large.megabytes) / (small.all.cpuSeconds / small.megabytes);
    std::printf("  (c) time per MB, largest / smallest:        %5.2f  (target <= %.2f) %s\n", timeGrowth, kLevelTarget,
                Verdict(timeGrowth <= kLevelTarget));
    long peak = large.all.peakKiB;
    if (walRun.ok) peak = std::max(peak, walRun.peakKiB);
    const double memoryGrowth = static_cast<double>(peak) / static_cast<double>(small.all.peakKiB);
    std::printf("  (d) peak memory, largest or WAL / smallest: %5.2f  (target <= %.2f) %s\n", memoryGrowth, kLevelTarget,
                Verdict(memoryGrowth <= kLevelTarget));
  }
  return 0;
}
