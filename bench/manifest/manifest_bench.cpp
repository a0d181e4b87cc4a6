// bench_manifest: loads a 250,000-entry Manifest.db and Manifest.mbdb and
// compares with the sqlite3 shell running the same query over the same file.
// Each measurement runs in a child process, so its peak memory is its own.
//
// Usage: bench_manifest [ENTRIES] (default 250000)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/program_arguments.h"
#include "core/backup/manifest.h"
#include "core/backup/manifest_db.h"
#include "core/backup/manifest_mbdb.h"
#include "core/common/result_codes.h"
#include "sample_manifests.h"
#include "support/child_measurement.h"

namespace {

using scrivel::bench::Measurement;
using scrivel::bench::MeasureInChild;
using scrivel::bench::WorkResult;

// Times `work` (which returns false on failure) on the steady clock.
WorkResult Timed(const std::function<bool()>& work) {
  const auto start = std::chrono::steady_clock::now();
  if (!work()) return {};
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

void Print(const char* what, const Measurement& m) {
  if (!m.ok) {
    std::printf("%-44s FAILED\n", what);
    return;
  }
  std::printf("%-44s %8.1f ms  peak %7.1f MB\n", what, m.result.seconds * 1000, m.peakKilobytes / 1024.0);
}

constexpr const char* kProgram = "bench_manifest";
constexpr const char* kUsage =
    "usage: bench_manifest [ENTRIES]\n"
    "  ENTRIES  entries of the generated Manifest.db and Manifest.mbdb (default 250000)\n";

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 250000;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (scrivel::IsHelpOption(argument)) return scrivel::ShowUsage(kUsage);
    if (i > 1 || argument.starts_with("-")) return scrivel::RefuseUnexpected(kProgram, argument, kUsage);
    char* end = nullptr;
    count = std::strtoull(argv[i], &end, 10);
    if (*end != '\0' || count == 0) return scrivel::RefuseArgument(kProgram, "not a number of entries", argument, kUsage);
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("scrivel-bench-manifest-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path db = folder / "Manifest.db";
  const std::filesystem::path mbdb = folder / "Manifest.mbdb";
  constexpr int kRuns = 5;

  std::printf("Writing %zu-entry manifests in %s ...\n", count, folder.c_str());
  if (!scrivel::bench::WriteSampleManifestDb(db, count) || !scrivel::bench::WriteSampleManifestMbdb(mbdb, count)) {
    std::filesystem::remove_all(folder);
    return 1;
  }
  std::printf("Manifest.db %.1f MB, Manifest.mbdb %.1f MB; best of %d runs each\n\n",
              std::filesystem::file_size(db) / 1048576.0, std::filesystem::file_size(mbdb) / 1048576.0, kRuns);

  const std::string shellCommand =
      "sqlite3 " + ShellQuote(db.string()) + " \"select fileID, domain, relativePath from Files\" > /dev/null";
  // The shell is timed as a whole process (start-up included); the loaders
  // from the call to its return, with the entries still held.
  const Measurement shell = MeasureInChild([&] { return Timed([&] { return std::system(shellCommand.c_str()) == 0; }); }, kRuns);
  std::vector<scrivel::ManifestEntry> entries;
  scrivel::Manifest manifest;
  const Measurement loadDb = MeasureInChild([&] {
    return Timed([&] { return !scrivel::LoadManifestDb(db, entries) && entries.size() == count; });
  }, kRuns);
  const Measurement loadDbIndexed = MeasureInChild([&] {
    return Timed([&] {
      if (scrivel::LoadManifestDb(db, entries)) return false;
      manifest.Assign(std::move(entries));
      return manifest.FindByFileId(manifest.Entries().back().fileId) != nullptr;
    });
  }, kRuns);
  const Measurement loadMbdb = MeasureInChild([&] {
    return Timed([&] { return !scrivel::LoadManifestMbdb(mbdb, entries) && !entries.empty(); });
  }, kRuns);

  Print("sqlite3 shell: select ... from Files", shell);
  Print("LoadManifestDb", loadDb);
  Print("LoadManifestDb + look-up indexes", loadDbIndexed);
  Print("LoadManifestMbdb (parse + SHA-1 per entry)", loadMbdb);
  if (shell.ok && loadDb.ok && loadDbIndexed.ok && loadMbdb.ok) {
    std::printf("\nratio LoadManifestDb / sqlite3 shell:            %.2f (target <= 1.5)\n", loadDb.result.seconds / shell.result.seconds);
    std::printf("ratio LoadManifestDb + indexes / sqlite3 shell:  %.2f\n", loadDbIndexed.result.seconds / shell.result.seconds);
    std::printf("ratio LoadManifestMbdb / sqlite3 shell:          %.2f (target < 1)\n", loadMbdb.result.seconds / shell.result.seconds);
  }
  std::filesystem::remove_all(folder);
  return shell.ok && loadDb.ok && loadDbIndexed.ok && loadMbdb.ok ? 0 : 1;
}
