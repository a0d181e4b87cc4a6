// The export: walks the selection of a scan in the order of the selection
// statistics and writes every checked, visible item into the export folder:
// stored files are copied out, conversations and chats become text, CSV and
// HTML files, and calls, notes and contacts are collected into one page each
// that is written at the end, next to the raw row files "sms.csv" and
// "Contacts.csv". Every file reports to an ExportProgress.
//
// Runs on one thread, with a helper thread that writes the raw row files
// and the text and CSV files of conversations and chats while the walk goes
// on (see BackgroundWriter); every report is made on the export's thread.
// ExportProgress is how other threads watch, pause and cancel it. A cancel
// stops the walk before the next item; the pages of the rows collected so
// far and the files already queued are still written, and a stopped file
// copy leaves no partial file behind.
#pragma once

#include <system_error>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/export/background_writer.h"
#include "core/export/export_index.h"
#include "core/export/export_progress.h"
#include "core/export/export_source.h"
#include "core/export/export_template.h"
#include "core/export/file_names.h"
#include "core/export/records_json.h"
#include "core/results/conversation_rows.h"
#include "core/results/statistics_obj.h"

namespace scrivel {

struct ExportRequest {
  std::string exportRoot;      // destination folder; created when missing
  std::string deviceName;      // UTF-8; goes into the page titles
  std::string templateFolder;  // folder of the page templates, e.g. GetAppDirectory() + "template/"
  std::string stamp;           // 14-digit start time "YYYYMMDDhhmmss"; empty: the local time at Run
  bool writeRecordsJson = false;  // also write "records.json" per category
  bool writeIndex = false;        // also write "index.html" (or a free name beside it) at the top of exportRoot
  const CStatisticsObj* statistics = nullptr;   // the selection; required
  const ConversationMap* conversations = nullptr;  // messages by handleId; may be null
  const ChatMap* chats = nullptr;                  // WhatsApp messages by chatSessionId; may be null
  IExportSource* source = nullptr;                 // copies and raw row files; required for files
  // Why categories of the scan came out empty or short (ScanResults::problems);
  // may be null. Each one is listed in the result rows, so the person sees
  // what could not be recovered.
  const std::map<CategoryKind, std::string>* scanProblems = nullptr;
};

// The template files, in the order they are loaded.
inline constexpr const char* kCallHistoryTemplate = "CallHistory.html";
inline constexpr const char* kNotesTemplate = "Notes.html";
inline constexpr const char* kContactsTemplate = "contacts.html";
inline constexpr const char* kMessagesTemplate = "Sms.html";
inline constexpr const char* kWhatsAppTemplate = "WhatsApp.html";

class CExportWorker {
 public:
  CExportWorker(ExportRequest request, ExportProgress& progress);
  ~CExportWorker();
  CExportWorker(const CExportWorker&) = delete;
  CExportWorker& operator=(const CExportWorker&) = delete;

  // Loads the five templates. Returns success, or kBadFile when one cannot be
  // read or has no "{|content|}" (FailedTemplate() names it); nothing has
  // been written then.
  [[nodiscard]] std::error_code LoadTemplates();
  const std::string& FailedTemplate() const { return m_failedTemplate; }

  // Sets the source of copies and raw row files when it exists only after
  // the templates were checked (the scan runs in between).
  void SetSource(IExportSource* source) { m_request.source = source; }
  // Sets ExportRequest::scanProblems, known only once the scan ran.
  void SetScanProblems(const std::map<CategoryKind, std::string>* problems) { m_request.scanProblems = problems; }

  // Exports the selection (LoadTemplates must have succeeded). Returns success,
  // kCancelled, or kBadFile when the templates are not loaded, the request
  // lacks its statistics, or the export root cannot be made a folder (one
  // failed result row names it).
  [[nodiscard]] std::error_code Run();

  // The pages written, for an index.
  const std::vector<ExportIndexLink>& Links() const { return m_links; }
  // The index page the last Run wrote: exportRoot + "/index.html", or a
  // free name beside it ("index(1).html") when that file existed; empty
  // when none was written.
  const std::string& IndexPath() const { return m_indexPath; }
  const std::string& Stamp() const { return m_stamp; }

 private:
  void ExportEntry(const StatisticsEntry& entry);
  void CopyMediaFile(CategoryKind kind, const FileItem& file);
  void ExportCallRow(const apps::CallItem& call);
  void ExportNoteRow(const apps::NoteItem& note);
  void ExportContactRow(const apps::ContactItem& contact);
  void ExportConversation(const apps::MessageItem& row);
  void ExportChat(const apps::ChatMessageItem& row);
  void FinishExport();

  // Queues the raw row file at `path` ("sms.csv" or "Contacts.csv") unless
  // it was queued already; `queued` remembers that it was.
  using RowFileWriter = std::function<std::error_code(IExportSource& source, const std::string& path)>;
  void QueueRowFile(const std::string& path, bool& queued, RowFileWriter write);
  // Reports the files the background writer failed to write so far.
  void ReportFailedWrites();

  // Creates `folder` (with parents); on failure reports `reportedPath` as
  // failed and returns false.
  bool EnsureFolder(const std::string& folder, const std::string& reportedPath);
  // Reports one finished file (failed when `error` is set). A cancel that the
  // report asks for is seen by the walk through the progress's Cancelled().
  void ReportFinished(std::error_code error, const std::string& path);
  void WriteCollectedPage(const std::string& folder, const std::string& fileName, const ExportTemplate& page,
                          const std::string& rows, const char* section, const char* label);
  void AddLink(const char* section, std::string label, const std::string& path);
  void AddJson(CategoryKind kind, const std::string& folder, std::string_view object);
  void FinishJson();
  std::string Folder(std::string_view name) const;  // exportRoot + "/" + name + "/"

  ExportRequest m_request;
  ExportProgress& m_progress;
  bool m_templatesLoaded = false;
  std::string m_failedTemplate;
  std::string m_stamp;
  std::string m_indexPath;  // see IndexPath()
  ExportTemplate m_callTemplate;
  ExportTemplate m_noteTemplate;
  ExportTemplate m_contactTemplate;
  ExportTemplate m_messageTemplate;
  ExportTemplate m_chatTemplate;
  std::string m_callRows;     // HTML rows, written by FinishExport
  std::string m_noteRows;
  std::string m_contactRows;
  bool m_messageRowsQueued = false;  // "sms.csv", queued by the first conversation
  bool m_contactRowsQueued = false;  // "Contacts.csv", queued by the first contact
  std::vector<ExportIndexLink> m_links;
  std::unordered_set<std::string> m_linkedPaths;  // paths in m_links
  std::unordered_set<std::string> m_madeFolders;  // folders this run created or found, not probed again
  UniquePathPicker m_uniquePaths;
  std::map<CategoryKind, std::unique_ptr<JsonArrayFile>> m_json;
  // Last, so that it finishes its files before anything they use goes.
  BackgroundWriter m_writer;
};

// Loads the templates and runs the export. Returns as CExportWorker::Run,
// or kBadFile when a template is missing (nothing is written then).
[[nodiscard]] std::error_code RunExport(const ExportRequest& request, ExportProgress& progress);

// The current local time as "YYYYMMDDhhmmss".
std::string ExportStampNow();

}  // namespace scrivel
