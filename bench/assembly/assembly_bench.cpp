// bench_assembly: the five assemblies (messages, contacts, call history,
// notes, WhatsApp) on a generated sample backup, each beside the sqlite3
// shell running the equivalent join over the live rows of the same files.
// The assemblies also recover the deleted rows; the shell sees only the
// live ones. Each measurement runs in its own child process, so the peak
// memory printed is that of the measured work alone; the fastest of three
// runs counts.
//
// Usage: bench_assembly [--scale small|large|N] [--backup DIR]
//   --scale   size of the sample built into a temporary folder (default large)
//   --backup  use an existing modern sample backup instead of building one

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/common/program_arguments.h"
#include "core/common/result_codes.h"
#include "core/apps/call_history.h"
#include "core/apps/contacts.h"
#include "core/apps/messages.h"
#include "core/apps/notes.h"
#include "core/apps/whatsapp.h"
#include "fixtures/sample_backup.h"
#include "reference_queries.h"
#include "support/child_measurement.h"

namespace {

namespace fs = std::filesystem;
namespace sr = scrivel::apps;

constexpr int kRuns = 3;

using scrivel::bench::Measurement;
using scrivel::bench::MeasureInChild;
using scrivel::bench::WorkResult;

// Times `work`, which returns the number of records it produced or a
// negative number on failure.
WorkResult Timed(const std::function<double()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const double records = work();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return records < 0 ? WorkResult{} : WorkResult{seconds, records};
}

template <typename Map>
double CountGrouped(const Map& map) {
  double count = 0;
  for (const auto& entry : map) count += static_cast<double>(entry.second.size());
  return count;
}

struct Paths {
  std::string sms, addressBook, calls, notes, whatsApp;
};

struct Bench {
  const char* name;
  std::function<double(const Paths&)> assemble;  // records produced, or negative
  std::string (*referenceQuery)();
  std::string Paths::*referenceDatabase;
};

const Bench kBenches[] = {
    {"ParseMessages",
     [](const Paths& p) {
       sr::MessagesByHandle byHandle;
       std::uint64_t highest = 20000;
       return !sr::ParseMessages(p.addressBook, &byHandle, {}, p.sms, &highest) ? CountGrouped(byHandle) : -1;
     },
     scrivel::bench::MessagesJoinQuery, &Paths::sms},
    {"ParseContacts",
     [](const Paths& p) {
       std::vector<sr::ContactItem> contacts;
       std::uint64_t highest = 0;
       return !sr::ParseContacts(p.addressBook, &contacts, &highest) ? static_cast<double>(contacts.size())
                                                                                    : -1;
     },
     scrivel::bench::ContactsQuery, &Paths::addressBook},
    {"ParseCallHistory",
     [](const Paths& p) {
       std::vector<sr::CallItem> calls;
       return !sr::ParseCallHistory(&calls, p.calls, p.addressBook) ? static_cast<double>(calls.size())
                                                                                   : -1;
     },
     scrivel::bench::CallsJoinQuery, &Paths::calls},
    {"ParseNotes",
     [](const Paths& p) {
       std::vector<sr::NoteItem> notes;
       return !sr::ParseNotes(p.notes, &notes) ? static_cast<double>(notes.size()) : -1;
     },
     scrivel::bench::NotesJoinQuery, &Paths::notes},
    {"ParseWhatsApp",
     [](const Paths& p) {
       sr::ChatMessagesBySession bySession;
       return !sr::ParseWhatsApp(p.whatsApp, &bySession) ? CountGrouped(bySession) : -1;
     },
     scrivel::bench::WhatsAppJoinQuery, &Paths::whatsApp},
};

constexpr const char* kProgram = "bench_assembly";
constexpr const char* kUsage =
    "usage: bench_assembly [--scale small|large|N] [--backup DIR]\n"
    "  --scale   size of the sample built into a temporary folder (default large)\n"
    "  --backup  use an existing modern sample backup instead of building one\n";

}  // namespace

int main(int argc, char** argv) {
  namespace fixtures = scrivel::fixtures;
  fixtures::SampleCounts counts = fixtures::LargeSampleCounts();
  fs::path backup;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (scrivel::IsHelpOption(arg)) return scrivel::ShowUsage(kUsage);
    if ((arg == "--scale" || arg == "--backup") && i + 1 >= argc)
      return scrivel::RefuseArgument(kProgram, "a value is missing after", arg, kUsage);
    if (arg == "--scale") {
      if (!fixtures::ParseSampleScale(argv[++i], &counts))
        return scrivel::RefuseArgument(kProgram, "not a scale", argv[i], kUsage);
    } else if (arg == "--backup") {
      backup = argv[++i];
    } else {
      return scrivel::RefuseUnexpected(kProgram, arg, kUsage);
    }
  }

  fs::path temporary;
  if (backup.empty()) {
    temporary = fs::temp_directory_path() / ("scrivel-bench-assembly-" + std::to_string(getpid()));
    backup = temporary / "backup";
    fixtures::SampleBackupOptions options;
    options.counts = counts;
    std::printf("building a sample backup of %u messages in %s ...\n", counts.messages, backup.c_str());
    std::fflush(stdout);
    // Built in a child, so the measurements below start from a small process.
    const Measurement built = MeasureInChild([&] {
      return Timed([&] {
        const std::error_code rc = fixtures::BuildSampleBackup(backup, options, nullptr);
        if (rc) std::fprintf(stderr, "building the sample failed: %s\n", rc.message().c_str());
        return !rc ? 0.0 : -1.0;
      });
    }, 1);
    if (!built.ok) return 1;
  }

  const auto stored = [&](const fixtures::StoredDatabase& database) {
    return fixtures::StoredFilePathIn(backup, fixtures::StoreLayout::Modern, database.fileId).string();
  };
  const Paths paths{stored(fixtures::kSmsDatabase), stored(fixtures::kAddressBookDatabase),
                    stored(fixtures::kCallHistoryStoreDatabase), stored(fixtures::kNotesDatabase),
                    stored(fixtures::kWhatsAppChatDatabase)};

  std::printf("%-17s %10s %9s %12s %9s | %12s %9s | %6s\n", "assembly", "records", "ms", "records/s", "peak MB",
              "sqlite3 ms", "peak MB", "ratio");
  int failures = 0;
  for (const Bench& bench : kBenches) {
    const Measurement ours = MeasureInChild([&] { return Timed([&] { return bench.assemble(paths); }); }, kRuns);
    const std::string query = bench.referenceQuery();
    const std::string& database = paths.*bench.referenceDatabase;
    const Measurement reference = MeasureInChild([&] {
      return Timed([&] { return scrivel::bench::RunSqliteShell(database, paths.addressBook, query) ? 0.0 : -1.0; });
    }, kRuns);
    if (!ours.ok || !reference.ok) {
      std::printf("%-17s %s\n", bench.name, !ours.ok ? "FAILED" : "sqlite3 FAILED");
      ++failures;
      continue;
    }
    // The shell runs as a grandchild; wait4 reports the largest of the
    // children it waited for, which is the shell.
    std::printf("%-17s %10.0f %9.1f %12.0f %9.1f | %12.1f %9.1f | %6.2f\n", bench.name, ours.result.records,
                ours.result.seconds * 1000, ours.result.records / ours.result.seconds, ours.peakKilobytes / 1024.0,
                reference.result.seconds * 1000, reference.peakKilobytes / 1024.0,
                ours.result.seconds / reference.result.seconds);
  }
  std::printf("ratio = assembly time / sqlite3 time (live rows only); target: at most 2.00\n");

  if (!temporary.empty()) {
    std::error_code ignored;
    fs::remove_all(temporary, ignored);
  }
  return failures == 0 ? 0 : 1;
}
