// Benchmark of the recovery engine: the live-plus-deleted walk of "message"
// and of every table of a large generated sms.db, against reading the live
// rows with the sqlite3 shell and against reading the file once with cat,
// all measured in the same run. Each walk runs in a child process of its
// own so that its peak memory is its alone.
//
// Every figure is measured twice. Warm: the file is in the page cache, so
// the processor time (user + system) is the cost and the ratios use it.
// Cold: the file is dropped from the page cache before each run, as when a
// user first opens a backup; the wall time is the cost, reading the disk
// included. "Within 3x of reading the file once" is a question of the cold
// figures: reading a file that is already in memory is a copy.
//
//   bench_sqlite_scan [WORK_FOLDER]
//
// Builds two sample backups (50,000 and 200,000 messages) under
// WORK_FOLDER (default: the system's temporary folder) unless they are
// there already, and reports each.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/common/program_arguments.h"
#include "core/common/result_codes.h"
#include "core/sqlite/database_recovery.h"
#include "core/apps/table_decoders.h"
#include "fixtures/sample_backup.h"
#include "support/page_cache.h"

namespace sr = scrivel::sqlite;
namespace apps = scrivel::apps;
namespace fx = scrivel::fixtures;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

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

// Counts the rows the engine hands on, and the deleted ones among them.
class RowCounter : public sr::RowSink {
 public:
  void OnRow(const sr::RecoveredTable&, const sr::RecoveredRow& row) override {
    ++records;
    deleted += row.deleted ? 1 : 0;
  }
  std::size_t records = 0;
  std::size_t deleted = 0;
};

// The walks, run in the child: prints "<records> <deleted> <peak KiB>".
int Walk(const std::string& mode, const std::string& path) {
  sr::DatabaseRecovery recovery;
  if (recovery.Open(path)) return 1;
  RowCounter counter;
  if (mode == "message") {
    (void)apps::ForEachMessage(recovery, [&](apps::MessageItem&& item) {
      ++counter.records;
      counter.deleted += item.deleted;
    });
  } else {
    for (std::size_t table = 0; table < recovery.Tables().size(); ++table) (void)recovery.Recover(table, counter);
  }
  std::printf("%zu %zu %ld\n", counter.records, counter.deleted, PeakResidentKiB());
  return 0;
}

struct Run {
  double seconds = 0;     // wall time
  double cpuSeconds = 0;  // user + system time of the child
  std::string output;     // first line the child printed
};

// Runs `argv` in a child with its output captured (or thrown away) and
// returns its wall time and peak resident memory.
Run RunChild(const std::vector<std::string>& argv, const std::string& stdoutPath) {
  Run run;
  // Output still buffered here would otherwise be written once more by
  // the child when it replaces its stdout.
  std::fflush(nullptr);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::FILE* out = std::freopen(stdoutPath.c_str(), "w", stdout);
    if (!out) _exit(127);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (std::FILE* in = std::fopen(stdoutPath.c_str(), "r")) {
    char line[256] = {};
    if (std::fgets(line, sizeof line, in)) run.output = line;
    std::fclose(in);
  }
  if (!run.output.empty() && run.output.back() == '\n') run.output.pop_back();
  return run;
}

// The best of three runs. Warm runs follow one that brought the file into
// the page cache; cold runs each start with it dropped from there. The best
// is the least processor time when warm, the least wall time when cold.
Run Best(const std::vector<std::string>& argv, const std::string& stdoutPath, const fs::path& db, bool cold) {
  if (!cold) (void)RunChild(argv, stdoutPath);
  Run best;
  for (int i = 0; i < 3; ++i) {
    if (cold) scrivel::bench::DropFromPageCache(db);
    const Run run = RunChild(argv, stdoutPath);
    const bool better = cold ? run.seconds < best.seconds : run.cpuSeconds < best.cpuSeconds;
    if (i == 0 || better) best = run;
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

void Report(const std::string& self, const fs::path& db, const fs::path& work, bool cold) {
  const double megabytes = static_cast<double>(fs::file_size(db)) / 1e6;
  const std::string sink = (work / "scrivel-bench-output.txt").string();
  const Run message = Best({self, "--walk", "message", db.string()}, sink, db, cold);
  const Run all = Best({self, "--walk", "all", db.string()}, sink, db, cold);
  const Run shell = Best({"sqlite3", db.string(), "SELECT * FROM message"}, "/dev/null", db, cold);
  const Run cat = Best({"cat", db.string()}, "/dev/null", db, cold);
  // Warm, the processor time is the cost and the fairer measure on a shared
  // machine; cold, the wall time is, as it includes waiting for the disk.
  const auto cost = [cold](const Run& run) { return cold ? run.seconds : run.cpuSeconds; };
  const auto line = [&](const char* what, const Run& run) {
    std::printf("  %-40s cpu %7.3f s  wall %7.3f s (%7.1f MB/s)\n", what, run.cpuSeconds, run.seconds,
                megabytes / cost(run));
  };
  std::printf("\n%s: %.1f MB, %s\n", db.string().c_str(), megabytes,
              cold ? "cold (dropped from the page cache before each run; ratios of wall time)"
                   : "warm (in the page cache; ratios of processor time)");
  line("walk of \"message\", live + deleted", message);
  std::printf("      records, deleted, peak memory KiB: %s\n", message.output.c_str());
  line("walk of every table, live + deleted", all);
  std::printf("      records, deleted, peak memory KiB: %s\n", all.output.c_str());
  line("sqlite3 SELECT * FROM message (live)", shell);
  line("cat (reading the file once)", cat);
  std::printf("  ratio message walk / sqlite3:   %.2f  (target below 1)\n", cost(message) / cost(shell));
  std::printf("  ratio message walk / cat:       %.2f  %s\n", cost(message) / cost(cat),
              cold ? "(target at most 3)" : "(the processor cost of a copy: no target)");
  std::printf("  ratio all-table walk / sqlite3: %.2f, / cat: %.2f\n", cost(all) / cost(shell), cost(all) / cost(cat));
}

constexpr const char* kProgram = "bench_sqlite_scan";
constexpr const char* kUsage =
    "usage: bench_sqlite_scan [WORK_FOLDER]\n"
    "  WORK_FOLDER  where the two sample backups are built, or found from an earlier run\n"
    "               (default: the system's temporary folder)\n"
    "(bench_sqlite_scan --walk message|all DB is how it runs each measured walk itself.)\n";

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
  for (const std::uint32_t messages : {50000u, 200000u}) {
    const fs::path db = SmsDatabase(work, messages);
    if (db.empty()) {
      std::fprintf(stderr, "could not build the sample with %u messages\n", messages);
      return 1;
    }
    Report(self, db, work, false);
    if (scrivel::bench::CanDropFromPageCache(db))
      Report(self, db, work, true);
    else
      std::printf("  (no cold figures: the file system of %s keeps files in memory)\n", db.c_str());
  }
  return 0;
}
