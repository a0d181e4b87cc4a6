// scrivel-cli scan: scans one backup folder and prints, per category of the
// results tree, how many items were found and how many of them are deleted
// records; with --json as one JSON object, with --records also every item.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_commands.h"
#include "cli/cli_scan_runner.h"
#include "core/export/records_json.h"
#include "core/recovery/scan_sequence.h"

namespace scrivel::cli {
namespace {

struct ScanOptions {
  ScanRunOptions run;
  bool json = false;
  bool records = false;
};

// Counts and (for --records) the JSON items of one category.
struct CategorySummary {
  bool withRecords = false;  // fill `records`
  std::size_t items = 0;
  std::size_t deleted = 0;
  std::string records;  // JSON array elements, comma-separated
};

void addRecord(CategorySummary& summary, const std::string& json) {
  if (!summary.records.empty()) summary.records += ",";
  summary.records += json;
}

template <typename Record>
void summariseRecords(const std::vector<Record>& records, CategorySummary& summary) {
  for (const Record& record : records) {
    ++summary.items;
    if (record.deleted != 0) ++summary.deleted;
    if (summary.withRecords) addRecord(summary, RecordJson(record));
  }
}

void summariseFiles(const std::vector<FileItem>& files, CategorySummary& summary) {
  for (const FileItem& file : files) {
    ++summary.items;
    if (file.deleted) ++summary.deleted;
    if (summary.withRecords) addRecord(summary, RecordJson(file, ""));
  }
}

void summariseApps(const FilesByApp& apps, CategorySummary& summary) {
  for (const auto& [app, files] : apps) summariseFiles(files, summary);
}

// Messages and WhatsApp: one object per conversation, {"key": id, "messages": [...]}.
template <typename Map>
void summariseConversations(const Map& conversations, CategorySummary& summary) {
  for (const auto& [key, messages] : conversations) {
    CategorySummary conversation;
    conversation.withRecords = summary.withRecords;
    summariseRecords(messages, conversation);
    summary.items += conversation.items;
    summary.deleted += conversation.deleted;
    if (summary.withRecords) addRecord(summary, "{\"key\":" + std::to_string(key) + ",\"messages\":[" + conversation.records + "]}");
  }
}

CategorySummary summarise(const ScanResults& results, CategoryKind kind, bool withRecords) {
  CategorySummary summary;
  summary.withRecords = withRecords;
  switch (kind) {
    case CategoryKind::kCameraRoll: summariseFiles(results.cameraRoll, summary); break;
    case CategoryKind::kPhotoStream: summariseFiles(results.photoStream, summary); break;
    case CategoryKind::kAppPhotos: summariseApps(results.appPhotos, summary); break;
    case CategoryKind::kAppVideos: summariseApps(results.appVideos, summary); break;
    case CategoryKind::kMessages: summariseConversations(results.messages, summary); break;
    case CategoryKind::kMessageAttachments: summariseFiles(results.messageAttachments, summary); break;
    case CategoryKind::kContacts: summariseRecords(results.contacts, summary); break;
    case CategoryKind::kCallHistory: summariseRecords(results.calls, summary); break;
    case CategoryKind::kNotes: summariseRecords(results.notes, summary); break;
    case CategoryKind::kWhatsApp: summariseConversations(results.whatsApp, summary); break;
    case CategoryKind::kWhatsAppAttachments: summariseFiles(results.whatsAppFiles, summary); break;
    case CategoryKind::kNone: break;
  }
  return summary;
}

// Why `kind` came out empty or short; empty when it went well.
std::string ProblemOf(const ScanResults& results, CategoryKind kind) {
  const auto found = results.problems.find(kind);
  return found != results.problems.end() ? found->second : std::string();
}

std::string JsonTextOrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

void printJson(const std::string& source, bool records, const ScanRun& run) {
  std::string out = "{\"source\":" + JsonString(source) +
                    ",\"result\":" + std::to_string(run.result.value()) +
                    ",\"missing_files\":" + std::to_string(run.results.missingFiles) +
                    ",\"manifest_error\":" + JsonTextOrNull(run.results.manifestProblem) + ",\"categories\":{";
  bool first = true;
  for (CategoryKind kind : kAllCategoryKinds) {
    const CategorySummary summary = summarise(run.results, kind, records);
    out += first ? "" : ",";
    first = false;
    out += JsonString(CategoryTreeName(kind)) + ":{\"items\":" + std::to_string(summary.items) +
           ",\"deleted\":" + std::to_string(summary.deleted) + ",\"error\":" + JsonTextOrNull(ProblemOf(run.results, kind));
    if (records) out += ",\"records\":[" + summary.records + "]";
    out += "}";
  }
  out += "}}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

void printLines(const ScanRun& run) {
  for (CategoryKind kind : kAllCategoryKinds) {
    const CategorySummary summary = summarise(run.results, kind, false);
    const std::string name(CategoryTreeName(kind));
    if (IsRecordCategory(kind)) {
      std::printf("%-22s %8zu items  %8zu deleted\n", name.c_str(), summary.items, summary.deleted);
    } else {
      std::printf("%-22s %8zu items\n", name.c_str(), summary.items);
    }
  }
  for (CategoryKind kind : kAllCategoryKinds) {
    const std::string problem = ProblemOf(run.results, kind);
    if (!problem.empty()) std::printf("%s: %s\n", std::string(CategoryTreeName(kind)).c_str(), problem.c_str());
  }
  if (!run.results.manifestProblem.empty()) std::printf("Manifest: %s\n", run.results.manifestProblem.c_str());
  std::printf("Missing files: %llu\n", static_cast<unsigned long long>(run.results.missingFiles));
}

int runScan(const ScanOptions& options) {
  ScanRun run;
  const int exitCode = RunCliScan("scrivel-cli scan", options.run, run);
  if (exitCode != kExitOk && exitCode != kExitCancelled) return exitCode;
  PrintScanReport(options.run.sourceFolder, run, options.json, options.records);
  return exitCode;
}

}  // namespace

void PrintScanReport(const std::string& source, const ScanRun& run, bool json, bool records) {
  if (json) printJson(source, records, run);
  else printLines(run);
}

void defineScan(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<ScanOptions>();
  command.add_option("SOURCE", options->run.sourceFolder, "the backup folder")->required();
  command.add_flag("--password-stdin", options->run.passwordFromStdin, "read the backup password from standard input");
  CLI::Option* json = command.add_flag("--json", options->json, "print one JSON object instead of lines");
  command.add_flag("--records", options->records, "with --json: every item with all its fields")->needs(json);
  command.add_flag_callback("--no-progress", [options] { options->run.showProgress = false; },
                            "no progress bar on standard error");
  command.footer("Scans the backup folder SOURCE and prints, per category, the items found and\n"
                 "how many of them are deleted records. The backup is only read.\n\n"
                 "Exit codes: 0 the backup opened, 1 bad arguments, 2 cancelled,\n"
                 "3 wrong or missing password, 4 the backup could not be opened.");
  command.callback([options, &exitCode] { exitCode = runScan(*options); });
}

}  // namespace scrivel::cli
