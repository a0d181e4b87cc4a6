#include "core/export/export_worker.h"

#include <ctime>
#include <filesystem>
#include <system_error>
#include <variant>

#include "core/common/result_codes.h"
#include "core/export/conversation_files.h"
#include "core/export/file_names.h"
#include "core/export/html_text.h"
#include "core/export/output_file.h"
#include "core/export/record_rows.h"
#include "core/recovery/scan_sequence.h"

namespace scrivel {

namespace {

using apps::CallItem;
using apps::ChatMessageItem;
using apps::ContactItem;
using apps::MessageItem;
using apps::NoteItem;

// Folders below the export root.
constexpr std::string_view kCallHistoryFolder = "CallHistory";
constexpr std::string_view kNotesFolder = "Notes";
constexpr std::string_view kContactsFolder = "Contacts";
constexpr std::string_view kMessagesFolder = "Message";
constexpr std::string_view kWhatsAppFolder = "WhatsApp Message";

// The folder of a kind of stored file, and the index section it is listed in.
struct MediaFolder {
  CategoryKind kind;
  std::string_view folder;
  const char* section;
};
constexpr MediaFolder kMediaFolders[] = {
    {CategoryKind::kCameraRoll, "Camera Roll", "Camera Roll"},
    {CategoryKind::kPhotoStream, "Photo Stream", "Photo Stream"},
    {CategoryKind::kAppPhotos, "App Photos", "App Photos"},
    {CategoryKind::kAppVideos, "App Video", "App Videos"},
    {CategoryKind::kMessageAttachments, "Message Attachments", "Message Attachments"},
    {CategoryKind::kWhatsAppAttachments, "WhatsApp Attachments", "WhatsApp Attachments"},
};

const MediaFolder* FindMediaFolder(CategoryKind kind) {
  for (const MediaFolder& media : kMediaFolders) {
    if (media.kind == kind) return &media;
  }
  return nullptr;
}

bool IsAppCategory(CategoryKind kind) { return kind == CategoryKind::kAppPhotos || kind == CategoryKind::kAppVideos; }

// Watches one file copy: CopyOut makes no report for an empty file, so the
// worker finishes such a file itself.
struct CopyWatch {
  ExportProgress* progress;
  bool finished = false;

  static std::error_code Callback(void* userData, int percent, std::error_code error, const std::string& path) {
    auto* watch = static_cast<CopyWatch*>(userData);
    if (percent >= 100) watch->finished = true;
    return watch->progress->Report(percent, error, path);
  }
};

template <typename Item>
const std::vector<Item>& ListOf(const std::map<std::int32_t, std::vector<Item>>* lists, std::int32_t key) {
  static const std::vector<Item> kEmpty;
  if (lists == nullptr) return kEmpty;
  auto found = lists->find(key);
  return found == lists->end() ? kEmpty : found->second;
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

// The part of `path` below `root` (both "/"-separated).
std::string RelativeTo(const std::string& root, const std::string& path) {
  if (path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/') {
    return path.substr(root.size() + 1);
  }
  return path;
}

}  // namespace

std::string ExportStampNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
  return text;
}

CExportWorker::CExportWorker(ExportRequest request, ExportProgress& progress)
    : m_request(std::move(request)), m_progress(progress) {
  while (m_request.exportRoot.size() > 1 && m_request.exportRoot.back() == '/') m_request.exportRoot.pop_back();
  if (!m_request.templateFolder.empty() && m_request.templateFolder.back() != '/') m_request.templateFolder += '/';
}

CExportWorker::~CExportWorker() = default;

std::error_code CExportWorker::LoadTemplates() {
  const std::string& device = m_request.deviceName;
  const struct {
    const char* file;
    std::string title;
    ExportTemplate* target;
  } templates[] = {
      {kCallHistoryTemplate, "iPhone's Call History of " + device, &m_callTemplate},
      {kNotesTemplate, "iPhone's Notes of " + device, &m_noteTemplate},
      {kContactsTemplate, "iPhone's Contacts of " + device, &m_contactTemplate},
      {kMessagesTemplate, "iPhone's Messages of " + device, &m_messageTemplate},
      {kWhatsAppTemplate, "iPhone's WhatsApp Messages of " + device, &m_chatTemplate},
  };
  m_templatesLoaded = false;
  m_failedTemplate.clear();
  for (const auto& entry : templates) {
    const std::string path = m_request.templateFolder + entry.file;
    if (LoadExportTemplate(path, EscapeHtml(entry.title), entry.target)) {
      m_failedTemplate = path;
      return kBadFile;
    }
  }
  m_templatesLoaded = true;
  return {};
}

std::string CExportWorker::Folder(std::string_view name) const {
  std::string folder = m_request.exportRoot;
  folder += '/';
  folder += name;
  folder += '/';
  return folder;
}

std::error_code CExportWorker::Run() {
  if (!m_templatesLoaded || m_request.statistics == nullptr) return kBadFile;
  m_stamp = m_request.stamp.empty() ? ExportStampNow() : m_request.stamp;
  m_callRows.clear();
  m_noteRows.clear();
  m_contactRows.clear();
  m_messageRowsQueued = false;
  m_contactRowsQueued = false;
  m_links.clear();
  m_linkedPaths.clear();
  m_madeFolders.clear();
  m_uniquePaths = UniquePathPicker();
  m_json.clear();
  m_indexPath.clear();
  m_progress.Start(static_cast<int>(m_request.statistics->SelectedCount()));
  // An export root that cannot be a folder (a file of that name) is one
  // failure, not one for every item.
  if (!EnsureFolder(m_request.exportRoot, m_request.exportRoot)) return kBadFile;
  if (m_request.scanProblems != nullptr) {
    for (const auto& [kind, problem] : *m_request.scanProblems) {
      m_progress.ReportNotRecovered(std::string(CategoryTreeName(kind)), problem);
    }
  }

  for (const StatisticsEntry& entry : m_request.statistics->Entries()) {
    if (m_progress.Cancelled()) break;
    if (entry.group || !entry.checked || entry.hidden) continue;
    ExportEntry(entry);
  }
  FinishExport();
  return m_progress.Cancelled() ? make_error_code(kCancelled) : std::error_code{};
}

void CExportWorker::ExportEntry(const StatisticsEntry& entry) {
  ReportFailedWrites();
  if (const auto* file = std::get_if<const FileItem*>(&entry.item)) {
    if (IsFileCategory(entry.kind)) CopyMediaFile(entry.kind, **file);
  } else if (const auto* row = std::get_if<const MessageItem*>(&entry.item)) {
    ExportConversation(**row);
  } else if (const auto* contact = std::get_if<const ContactItem*>(&entry.item)) {
    ExportContactRow(**contact);
  } else if (const auto* call = std::get_if<const CallItem*>(&entry.item)) {
    ExportCallRow(**call);
  } else if (const auto* note = std::get_if<const NoteItem*>(&entry.item)) {
    ExportNoteRow(**note);
  } else if (const auto* chat = std::get_if<const ChatMessageItem*>(&entry.item)) {
    ExportChat(**chat);
  }
}

void CExportWorker::ReportFinished(std::error_code error, const std::string& path) {
  (void)m_progress.Report(100, error, path);
}

bool CExportWorker::EnsureFolder(const std::string& folder, const std::string& reportedPath) {
  if (m_madeFolders.count(folder) != 0) return true;
  const std::error_code result = CreateFolder(m_request.exportRoot, folder);
  if (!result) {
    m_madeFolders.insert(folder);
    return true;
  }
  ReportFinished(result, reportedPath);
  return false;
}

void CExportWorker::CopyMediaFile(CategoryKind kind, const FileItem& file) {
  const MediaFolder* media = FindMediaFolder(kind);
  if (media == nullptr) return;
  const std::string categoryFolder = Folder(media->folder);
  std::string folder = categoryFolder;
  if (IsAppCategory(kind)) folder += SafeFileName(file.app) + "/";
  const std::string wanted = folder + SafeFileName(file.name);
  if (!EnsureFolder(folder, wanted)) return;
  const std::string destination = m_uniquePaths.Pick(wanted);
  if (destination.empty() || m_request.source == nullptr) {
    ReportFinished(kBadFile, wanted);
    return;
  }
  CopyWatch watch{&m_progress};
  const std::error_code result = m_request.source->CopyOut(file.path, destination, &CopyWatch::Callback, &watch);
  if (!watch.finished) ReportFinished(result, destination);
  if (result) return;
  // A Live Photo's movie goes beside its still, under its own stored name.
  std::string videoDestination;
  if (file.pairedVideo) {
    videoDestination = m_uniquePaths.Pick(folder + SafeFileName(file.pairedVideo->name));
    CopyWatch videoWatch{&m_progress};
    const std::error_code videoResult =
        videoDestination.empty() ? make_error_code(kBadFile)
                                 : m_request.source->CopyOut(file.pairedVideo->path, videoDestination,
                                                             &CopyWatch::Callback, &videoWatch);
    if (!videoWatch.finished) ReportFinished(videoResult, videoDestination);
    if (videoResult) videoDestination.clear();
  }
  AddLink(media->section, std::string(media->folder) + " folder", categoryFolder);
  AddJson(kind, categoryFolder, RecordJson(file, destination, videoDestination));
}

void CExportWorker::ExportCallRow(const CallItem& call) {
  const std::string folder = Folder(kCallHistoryFolder);
  const std::string path = folder + "CallHistory_" + m_stamp + ".html";
  if (!EnsureFolder(folder, path)) return;
  m_callRows += CallRowHtml(call);
  AddJson(CategoryKind::kCallHistory, folder, RecordJson(call));
  ReportFinished({}, path);
}

void CExportWorker::ExportNoteRow(const NoteItem& note) {
  const std::string folder = Folder(kNotesFolder);
  const std::string path = folder + "Notes_" + m_stamp + ".html";
  if (!EnsureFolder(folder, path)) return;
  m_noteRows += NoteRowHtml(note);
  AddJson(CategoryKind::kNotes, folder, RecordJson(note));
  ReportFinished({}, path);
}

void CExportWorker::ExportContactRow(const ContactItem& contact) {
  const std::string folder = Folder(kContactsFolder) + m_stamp + "/";
  const std::string path = folder + "Contacts.html";
  if (!EnsureFolder(folder, path)) return;
  QueueRowFile(folder + "Contacts.csv", m_contactRowsQueued,
               [](IExportSource& source, const std::string& csvPath) { return source.ExportContactsCsv(csvPath); });
  m_contactRows += ContactRowHtml(contact);
  AddJson(CategoryKind::kContacts, folder, RecordJson(contact));
  ReportFinished({}, path);
}

void CExportWorker::ExportConversation(const MessageItem& row) {
  const std::string who = row.name.empty() ? "Unknown" : row.name;
  const std::string folder = Folder(kMessagesFolder) + SafeFileName(who, "-" + m_stamp) + "-" + m_stamp + "/";
  const std::string base = row.address.empty() ? who : who + "(" + row.address + ")";
  const std::string fileBase = folder + SafeFileName(base, ".html");
  if (!EnsureFolder(folder, fileBase + ".html")) return;
  QueueRowFile(Folder(kMessagesFolder) + "sms.csv", m_messageRowsQueued,
               [](IExportSource& source, const std::string& csvPath) { return source.ExportMessagesCsv(csvPath); });

  const std::vector<MessageItem>& messages = ListOf(m_request.conversations, row.handleId);
  m_writer.Queue(m_uniquePaths.PickForLater(fileBase + ".txt"),
                 [&messages](const std::string& path) { return WriteMessagesText(messages, path); });
  const std::string head = ReplaceAll(m_messageTemplate.head, kPersonPlaceholder,
                                      HtmlText("Name: " + who + ", Phone: " + row.address));
  const std::string htmlPath = m_uniquePaths.Pick(fileBase + ".html");
  const std::error_code result = WriteMessagesHtml(messages, head, m_messageTemplate.tail, htmlPath, m_progress);
  if (!result || result == kCancelled) AddLink("Messages", base, htmlPath);
  if (!m_request.writeRecordsJson) return;  // spares building a text per message that nobody writes
  const std::string jsonFolder = Folder(kMessagesFolder);
  for (const MessageItem& message : messages) AddJson(CategoryKind::kMessages, jsonFolder, RecordJson(message));
}

void CExportWorker::ExportChat(const ChatMessageItem& row) {
  std::string label = row.chatNames.empty() ? row.chatJids : row.chatNames + "(" + row.chatJids + ")";
  if (row.chatNames.find(',') != std::string::npos) label = row.chatTitle;  // a group: its subject
  if (label.empty()) label = "Unknown";
  const std::string folder = Folder(kWhatsAppFolder) + SafeFileName(label, "-" + m_stamp) + "-" + m_stamp + "/";
  const std::string fileBase = folder + SafeFileName(label, ".html");
  if (!EnsureFolder(folder, fileBase + ".html")) return;

  const std::vector<ChatMessageItem>& messages = ListOf(m_request.chats, row.chatSessionId);
  m_writer.Queue(m_uniquePaths.PickForLater(fileBase + ".txt"),
                 [&messages](const std::string& path) { return WriteChatText(messages, path); });
  m_writer.Queue(m_uniquePaths.PickForLater(fileBase + ".csv"),
                 [&messages](const std::string& path) { return WriteChatCsv(messages, path); });
  const std::string head = ReplaceAll(m_chatTemplate.head, kPersonPlaceholder,
                                      HtmlText("Name: " + row.chatNames + ", Phone: " + row.chatJids));
  const std::string htmlPath = m_uniquePaths.Pick(fileBase + ".html");
  const std::error_code result = WriteChatHtml(messages, head, m_chatTemplate.tail, htmlPath, m_progress);
  if (!result || result == kCancelled) AddLink("WhatsApp", label, htmlPath);
  if (!m_request.writeRecordsJson) return;  // spares building a text per message that nobody writes
  const std::string jsonFolder = Folder(kWhatsAppFolder);
  for (const ChatMessageItem& message : messages) AddJson(CategoryKind::kWhatsApp, jsonFolder, RecordJson(message));
}

void CExportWorker::WriteCollectedPage(const std::string& folder, const std::string& fileName,
                                       const ExportTemplate& page, const std::string& rows, const char* section,
                                       const char* label) {
  const std::string path = folder + fileName;
  if (!EnsureFolder(folder, path)) return;
  if (const std::error_code result = WriteWholeFile(path, {page.head, rows, page.tail}); result) {
    ReportFinished(result, path);
    return;
  }
  AddLink(section, label, path);
}

void CExportWorker::QueueRowFile(const std::string& path, bool& queued, RowFileWriter write) {
  if (queued) return;
  queued = true;
  RemoveFile(path);  // the row writers append
  IExportSource* source = m_request.source;
  m_writer.Queue(path, [source, write = std::move(write)](const std::string& csvPath) {
    return source != nullptr ? write(*source, csvPath) : make_error_code(kBadFile);
  });
}

void CExportWorker::ReportFailedWrites() {
  for (const FailedWrite& failed : m_writer.TakeFailures()) ReportFinished(failed.error, failed.path);
}

void CExportWorker::FinishExport() {
  m_writer.Wait();
  ReportFailedWrites();
  if (!m_callRows.empty()) {
    WriteCollectedPage(Folder(kCallHistoryFolder), "CallHistory_" + m_stamp + ".html", m_callTemplate, m_callRows,
                       "Call History", "Call history");
  }
  if (!m_noteRows.empty()) {
    WriteCollectedPage(Folder(kNotesFolder), "Notes_" + m_stamp + ".html", m_noteTemplate, m_noteRows, "Notes",
                       "Notes");
  }
  if (!m_contactRows.empty()) {
    WriteCollectedPage(Folder(kContactsFolder) + m_stamp + "/", "Contacts.html", m_contactTemplate, m_contactRows,
                       "Contacts", "Contacts");
  }
  FinishJson();
  if (m_request.writeIndex) {
    // An "index.html" already in the folder (a page of the person's own,
    // or of an earlier export) is left as it is.
    const std::string path = m_uniquePaths.Pick(m_request.exportRoot + "/index.html");
    if (EnsureFolder(m_request.exportRoot, path)) {
      std::vector<ExportIndexLink> links = m_links;
      for (ExportIndexLink& link : links) link.relativePath = RelativeTo(m_request.exportRoot, link.relativePath);
      if (const std::error_code result = WriteExportIndex(path, m_request.deviceName, links); result) {
        ReportFinished(result, path);
      } else {
        m_indexPath = path;
      }
    }
  }
}

void CExportWorker::AddLink(const char* section, std::string label, const std::string& path) {
  if (!m_linkedPaths.insert(path).second) return;  // a folder is listed once
  m_links.push_back({section, std::move(label), path});
}

void CExportWorker::AddJson(CategoryKind kind, const std::string& folder, std::string_view object) {
  if (!m_request.writeRecordsJson) return;
  std::unique_ptr<JsonArrayFile>& file = m_json[kind];
  if (!file) file = std::make_unique<JsonArrayFile>(folder + "records.json");
  file->Add(object);
}

void CExportWorker::FinishJson() {
  for (auto& [kind, file] : m_json) {
    if (const std::error_code result = file->Finish(); result) ReportFinished(result, file->Path());
  }
  m_json.clear();
}

std::error_code RunExport(const ExportRequest& request, ExportProgress& progress) {
  CExportWorker worker(request, progress);
  if (const std::error_code result = worker.LoadTemplates(); result) return result;
  return worker.Run();
}

}  // namespace scrivel
