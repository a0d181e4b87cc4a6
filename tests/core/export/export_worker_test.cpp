#include "core/export/export_worker.h"

#include <cerrno>
#include <fstream>
#include <map>
#include <system_error>

#include <gtest/gtest.h>

#include "core/common/readable_text.h"
#include "core/common/result_codes.h"
#include "export_fixture.h"
#include "html_check.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;
using apps::CallItem;
using apps::ChatMessageItem;
using apps::ContactItem;
using apps::MessageItem;
using apps::NoteItem;

const std::string kStamp = testing::kExportStamp;

MessageItem Message(std::int32_t handleId, const char* date, const char* name, const char* address, const char* text,
                    int fromMe = 0, int deleted = 0) {
  MessageItem message;
  message.handleId = handleId;
  message.date = date;
  message.name = name;
  message.address = address;
  message.text = text;
  message.fromMe = fromMe;
  message.deleted = deleted;
  return message;
}

ChatMessageItem ChatMessage(std::int32_t session, const char* date, const char* text, int fromMe,
                            const char* chatNames, const char* chatJids, const char* chatTitle) {
  ChatMessageItem message;
  message.chatSessionId = session;
  message.date = date;
  message.text = text;
  message.fromMe = fromMe;
  message.senderName = fromMe != 0 ? "Me" : chatNames;
  message.senderJid = fromMe != 0 ? "" : chatJids;
  message.chatNames = chatNames;
  message.chatJids = chatJids;
  message.chatTitle = chatTitle;
  return message;
}

ContactItem Contact(const char* name, const char* phone, int deleted = 0) {
  ContactItem contact;
  contact.name = name;
  contact.phone = phone;
  contact.email = "mail@example.com";
  contact.deleted = deleted;
  return contact;
}

CallItem Call(const char* address, int incoming, int duration, int deleted = 0) {
  CallItem call;
  call.address = address;
  call.name = "Caller";
  call.date = "2024-05-01 12:00:00";
  call.incoming = incoming;
  call.duration = duration;
  call.deleted = deleted;
  return call;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

class ExportWorkerTest : public testing::ExportFixture {};

TEST_F(ExportWorkerTest, FullExportWritesTheFolderAndFileLayout) {
  m_results.cameraRoll = {StoredFile("IMG_0001.JPG", 3000), StoredFile("IMG_0001.JPG", 100),
                          StoredFile("EMPTY.JPG", 0)};
  m_results.photoStream = {StoredFile("PS_1.JPG", 70000)};
  m_results.appPhotos["com.example.notebook"] = {StoredFile("page.png", 500, "com.example.notebook")};
  m_results.appVideos["com.example.camera"] = {StoredFile("clip.mov", 500, "com.example.camera")};
  m_results.messageAttachments = {StoredFile("IMG_7.HEIC", 10)};
  m_results.whatsAppFiles = {StoredFile("voice.opus", 10)};
  m_results.messages[1] = {Message(1, "2024-01-01 10:00:00", "Ann", "+15550001", "hello", 1),
                           Message(1, "2024-01-01 10:05:00", "Ann", "+15550001", "gone now", 0, 1)};
  m_results.messages[2] = {Message(2, "2024-01-02 09:00:00", "", "+15550002", "who is this")};
  m_results.messages[3] = {Message(3, "2024-01-03 09:00:00", "Bob", "+15550003", "first Bob")};
  m_results.messages[4] = {Message(4, "2024-01-04 09:00:00", "Bob", "+15550004", "second Bob")};
  m_results.messages[5] = {Message(5, "2024-01-05 09:00:00", "Bob", "+15550003", "third Bob")};
  m_results.contacts = {Contact("Carol", "555-1234\n555-9876"), Contact("Dave", "555-0000", 1)};
  m_results.calls = {Call("+15550010", 1, 75), Call("+15550011", 1, 0), Call("+15550012", 0, 0)};
  NoteItem note;
  note.title = "Shopping";
  note.date = "2024-02-02 08:00:00";
  note.content = "milk\nbread";
  m_results.notes = {note};
  m_results.whatsApp[10] = {ChatMessage(10, "2024-03-01 10:00:00", "hi, there", 1, "Eve", "4917000", "Eve"),
                            ChatMessage(10, "2024-03-01 10:01:00", "hello \"you\"", 0, "Eve", "4917000", "Eve")};
  m_results.whatsApp[11] = {
      ChatMessage(11, "2024-03-02 10:00:00", "trail at 8", 0, "Eve,Finn", "4917000,4917001", "Hiking Club")};
  RegisterAll();

  ASSERT_FALSE(Export());

  const std::set<std::string> expected = {
      "Camera Roll/IMG_0001.JPG",
      "Camera Roll/IMG_0001(1).JPG",
      "Camera Roll/EMPTY.JPG",
      "Photo Stream/PS_1.JPG",
      "App Photos/com.example.notebook/page.png",
      "App Video/com.example.camera/clip.mov",
      "Message Attachments/IMG_7.HEIC",
      "WhatsApp Attachments/voice.opus",
      "Message/Ann-" + kStamp + "/Ann(+15550001).txt",
      "Message/Ann-" + kStamp + "/Ann(+15550001).html",
      "Message/Unknown-" + kStamp + "/Unknown(+15550002).txt",
      "Message/Unknown-" + kStamp + "/Unknown(+15550002).html",
      "Message/Bob-" + kStamp + "/Bob(+15550003).txt",
      "Message/Bob-" + kStamp + "/Bob(+15550003).html",
      "Message/Bob-" + kStamp + "/Bob(+15550004).txt",
      "Message/Bob-" + kStamp + "/Bob(+15550004).html",
      "Message/Bob-" + kStamp + "/Bob(+15550003)(1).txt",
      "Message/Bob-" + kStamp + "/Bob(+15550003)(1).html",
      "Message/sms.csv",
      "Contacts/" + kStamp + "/Contacts.html",
      "Contacts/" + kStamp + "/Contacts.csv",
      "CallHistory/CallHistory_" + kStamp + ".html",
      "Notes/Notes_" + kStamp + ".html",
      "WhatsApp Message/Eve(4917000)-" + kStamp + "/Eve(4917000).txt",
      "WhatsApp Message/Eve(4917000)-" + kStamp + "/Eve(4917000).csv",
      "WhatsApp Message/Eve(4917000)-" + kStamp + "/Eve(4917000).html",
      "WhatsApp Message/Hiking Club-" + kStamp + "/Hiking Club.txt",
      "WhatsApp Message/Hiking Club-" + kStamp + "/Hiking Club.csv",
      "WhatsApp Message/Hiking Club-" + kStamp + "/Hiking Club.html",
      "index.html",
  };
  EXPECT_EQ(FilesBelow(m_out), expected);

  // Every selected item was finished once, successfully.
  const ExportCounters counters = m_progress->Counters();
  EXPECT_EQ(counters.total, 21);
  EXPECT_EQ(counters.processed, 21);
  EXPECT_EQ(counters.failed, 0);

  // Copies are exact, the empty file included.
  EXPECT_EQ(Read(m_out / "Photo Stream/PS_1.JPG"), Read(m_results.photoStream[0].path));
  EXPECT_EQ(Read(m_out / "Camera Roll/IMG_0001(1).JPG").size(), 100u);
  EXPECT_EQ(fs::file_size(m_out / "Camera Roll/EMPTY.JPG"), 0u);

  const std::string calls = Read(m_out / ("CallHistory/CallHistory_" + kStamp + ".html"));
  EXPECT_NE(calls.find("<td>Incoming</td><td>1 Min 15 Sec</td>"), std::string::npos);
  EXPECT_NE(calls.find("<td>Incoming</td><td>Missed</td>"), std::string::npos);
  EXPECT_NE(calls.find("<td>Outgoing</td><td>Canceled</td>"), std::string::npos);
  EXPECT_EQ(Count(calls, "iPhone&#39;s Call History of Test iPhone"), 2u);  // title and heading

  const std::string contacts = Read(m_out / ("Contacts/" + kStamp + "/Contacts.html"));
  EXPECT_NE(contacts.find("<td>555-1234<br />555-9876</td>"), std::string::npos);
  EXPECT_NE(contacts.find("\t<tr class=\"deleted\"><td>Dave</td>"), std::string::npos);
  EXPECT_EQ(Read(m_out / ("Contacts/" + kStamp + "/Contacts.csv")), "contact rows\r\n");
  EXPECT_EQ(Read(m_out / "Message/sms.csv"), "sms rows\r\n");
  EXPECT_NE(Read(m_out / ("Notes/Notes_" + kStamp + ".html")).find("<td>milk<br />bread</td>"), std::string::npos);

  const fs::path ann = m_out / ("Message/Ann-" + kStamp);
  const std::string annPage = Read(ann / "Ann(+15550001).html");
  EXPECT_NE(annPage.find("Name: Ann, Phone: +15550001"), std::string::npos);
  EXPECT_NE(annPage.find("<div class=\"date\">Date: 2024-01-01 10:00:00 Me:</div>\r\n<div class=\"send_msg\">hello</div>"),
            std::string::npos);
  EXPECT_NE(annPage.find("<div class=\"date\">Date: 2024-01-01 10:05:00 Ann:</div>\r\n"
                         "<div class=\"del_recv_msg\">gone now</div>"),
            std::string::npos);
  EXPECT_EQ(Read(ann / "Ann(+15550001).txt"),
            "\xEF\xBB\xBF"
            "        To: Ann(+15550001)\r\n      Data: 2024-01-01 10:00:00\r\n   Content: hello\r\n\r\n"
            "      From: Ann(+15550001)\r\n      Data: 2024-01-01 10:05:00\r\n   Content: gone now\r\n\r\n");

  const fs::path eve = m_out / ("WhatsApp Message/Eve(4917000)-" + kStamp);
  EXPECT_EQ(Read(eve / "Eve(4917000).csv"),
            "\xEF\xBB\xBF"
            "Chats,Name/Phone,Date,Type,Content\r\n"
            "\"Me\",\"\",\"2024-03-01 10:00:00\",\"Send\",\"hi, there\"\r\n"
            "\"Eve\",\"4917000\",\"2024-03-01 10:01:00\",\"Received\",\"hello \"\"you\"\"\"\r\n");
  EXPECT_NE(Read(eve / "Eve(4917000).txt").find("        To: Me()\r\n"), std::string::npos);

  const std::string index = Read(m_out / "index.html");
  EXPECT_NE(index.find("href=\"Message/Ann-" + kStamp + "/Ann%28%2B15550001%29.html\""), std::string::npos);
  EXPECT_NE(index.find("href=\"CallHistory/CallHistory_" + kStamp + ".html\""), std::string::npos);

  for (const std::string& file : expected) {
    if (file.ends_with(".html")) {
      EXPECT_EQ(testing::CheckHtml(Read(m_out / file)), "") << file;
    }
  }
}

TEST_F(ExportWorkerTest, RecoveredTextIsEscapedAndNamesStayInsideTheExportFolder) {
  m_results.messages[1] = {Message(1, "2024-01-01 10:00:00", "../../x", "a/b", "<script>alert('x')</script>")};
  m_results.whatsApp[2] = {ChatMessage(2, "2024-01-01 10:00:00", "<b>bold</b> & more", 0, "", "..", "")};
  m_results.contacts = {Contact("<img src=x onerror=alert(1)>", "1\n2")};
  m_results.cameraRoll = {StoredFile("../../escape.jpg", 10)};
  RegisterAll();

  ASSERT_FALSE(Export());

  // Nothing was written beside the export folder.
  for (const fs::directory_entry& entry : fs::directory_iterator(m_dir)) {
    EXPECT_TRUE(entry.path().filename() == "out" || entry.path().filename() == "store" ||
                entry.path().filename() == "template")
        << entry.path();
  }
  const std::set<std::string> files = FilesBelow(m_out);
  EXPECT_TRUE(files.contains("Message/.._.._x-" + kStamp + "/.._.._x(a_b).html"));
  EXPECT_TRUE(files.contains("WhatsApp Message/__-" + kStamp + "/__.csv"));
  EXPECT_TRUE(files.contains("Camera Roll/.._.._escape.jpg"));

  const std::string page = Read(m_out / ("Message/.._.._x-" + kStamp + "/.._.._x(a_b).html"));
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"), std::string::npos);
  for (const std::string& file : files) {
    if (file.ends_with(".html")) {
      EXPECT_EQ(testing::CheckHtml(Read(m_out / file)), "") << file;
    }
  }
}

TEST_F(ExportWorkerTest, RecoveredControlBytesAndFormulasNeverReachTheFiles) {
  // Text rebuilt from free space: a NUL, a terminal escape, a bell, broken
  // UTF-8, and cells a spreadsheet would run.
  using namespace std::string_literals;
  const std::string dirty = "=cmd|'/C calc'!A0 \0 \x1b[2J \x07 \xC3"s;
  m_results.messages[1] = {Message(1, "2024-01-01 10:00:00", "Ann", "+15550001", dirty.c_str())};
  m_results.messages[1][0].text = dirty;
  m_results.whatsApp[2] = {ChatMessage(2, "2024-01-01 10:00:00", "x", 0, "Eve", "+4917000", "Eve")};
  m_results.whatsApp[2][0].text = dirty;
  m_results.whatsApp[2][0].senderName = "@Eve\x01";
  NoteItem note;
  note.title = "-1\x1b]0;title\x07";
  note.content = dirty;
  m_results.notes = {note};
  RegisterAll();

  ASSERT_FALSE(Export());

  std::size_t checked = 0;
  for (const std::string& file : FilesBelow(m_out)) {
    if (!file.ends_with(".html") && !file.ends_with(".txt") && !file.ends_with(".csv")) continue;
    if (file.ends_with("sms.csv")) continue;  // the raw row file of the fake source
    const std::string text = Read(m_out / file);
    EXPECT_TRUE(IsReadableText(text)) << file;
    ++checked;
  }
  EXPECT_EQ(checked, 1u + 2u + 3u + 1u);  // index; conversation page and text; chat page, text, CSV; notes page
  const std::string csv = Read(m_out / ("WhatsApp Message/Eve(+4917000)-" + kStamp + "/Eve(+4917000).csv"));
  EXPECT_NE(csv.find("\r\n\"'@Eve\xEF\xBF\xBD\",\"'+4917000\",\"2024-01-01 10:00:00\",\"Received\",\"'=cmd|'/C calc'!A0 "
                     "\xEF\xBF\xBD \xEF\xBF\xBD[2J \xEF\xBF\xBD \xEF\xBF\xBD\"\r\n"),
            std::string::npos)
      << csv;
}

TEST_F(ExportWorkerTest, AnExportRootThatIsAFileFailsOnce) {
  m_results.cameraRoll = {StoredFile("IMG_1.JPG", 10), StoredFile("IMG_2.JPG", 10)};
  m_results.calls = {Call("+1", 1, 5), Call("+2", 1, 5)};
  RegisterAll();
  const fs::path file = m_out;
  std::ofstream(file) << "a file";
  for (const fs::path& root : {file, file / "below"}) {
    m_out = root;

    EXPECT_EQ(Export(), kBadFile) << root;

    const std::vector<ExportResultRow> rows = m_progress->Rows();
    ASSERT_EQ(rows.size(), 1u) << root;
    EXPECT_EQ(rows[0].path, root.string());
    EXPECT_EQ(rows[0].status, std::error_code(ENOTDIR, std::system_category()).message());
  }
  EXPECT_EQ(Read(file), "a file");
}

TEST_F(ExportWorkerTest, ALinkInsideTheExportFolderIsNeverWrittenThrough) {
  // Folders of the export that are links, one into the store of stored files
  // ("the backup"), and the files to be written there.
  const fs::path elsewhere = m_dir / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(m_out);
  fs::create_directory_symlink(m_store, m_out / "Camera Roll");
  fs::create_directory_symlink(elsewhere, m_out / "App Photos");
  m_results.cameraRoll = {StoredFile("IMG_1.JPG", 10)};
  m_results.appPhotos["com.example.app"] = {StoredFile("APP_1.JPG", 10, "com.example.app")};
  m_results.calls = {Call("+1", 1, 5)};
  RegisterAll();
  const std::set<std::string> storeBefore = FilesBelow(m_store);

  ASSERT_FALSE(Export());

  EXPECT_EQ(FilesBelow(m_store), storeBefore);
  EXPECT_TRUE(FilesBelow(elsewhere).empty());
  std::map<std::string, std::string> statusByPath;
  for (const ExportResultRow& row : m_progress->Rows()) statusByPath[row.path] = row.status;
  const std::string linkText = "A symbolic link stands at this path; the export never writes through one";
  EXPECT_EQ(statusByPath[(m_out / "Camera Roll/IMG_1.JPG").string()], linkText);
  EXPECT_EQ(statusByPath[(m_out / "App Photos/com.example.app/APP_1.JPG").string()], linkText);
  EXPECT_EQ(m_progress->Counters().failed, 2);
  EXPECT_TRUE(fs::is_symlink(m_out / "Camera Roll"));  // the person's links are left as they are
}

TEST_F(ExportWorkerTest, AnIndexHtmlAlreadyInTheFolderIsLeftAlone) {
  m_results.calls = {Call("+1", 1, 5)};
  RegisterAll();
  fs::create_directories(m_out);
  std::ofstream(m_out / "index.html") << "my own page";

  ASSERT_FALSE(Export());

  EXPECT_EQ(Read(m_out / "index.html"), "my own page");
  EXPECT_NE(Read(m_out / "index(1).html").find("CallHistory_" + kStamp + ".html"), std::string::npos);
}

TEST_F(ExportWorkerTest, DeletedOnlyFilterExportsOnlyDeletedRecords) {
  m_results.contacts = {Contact("Live Larry", "555-1111"), Contact("Deleted Dora", "555-2222", 1)};
  m_results.calls = {Call("+1", 1, 5), Call("+2", 0, 7, 1)};
  RegisterAll();
  SetDeletedOnlyFilter(m_stats, CategoryKind::kContacts, true);

  ASSERT_FALSE(Export());

  const std::string contacts = Read(m_out / ("Contacts/" + kStamp + "/Contacts.html"));
  EXPECT_NE(contacts.find("Deleted Dora"), std::string::npos);
  EXPECT_EQ(contacts.find("Live Larry"), std::string::npos);
  // The filter of one category leaves the others whole.
  EXPECT_EQ(Count(Read(m_out / ("CallHistory/CallHistory_" + kStamp + ".html")), "\t<tr"), 2u);
  EXPECT_EQ(m_progress->Counters().total, 3);
  EXPECT_EQ(m_progress->Counters().processed, 3);
}

TEST_F(ExportWorkerTest, MissingTemplateStopsBeforeAnythingIsWritten) {
  m_results.calls = {Call("+1", 1, 5)};
  RegisterAll();
  fs::remove(m_templates / "Notes.html");

  EXPECT_EQ(Export(), kBadFile);
  EXPECT_FALSE(fs::exists(m_out));
  EXPECT_EQ(m_progress->Counters().processed, 0);
}

// Cancels the export at the first chunk of the file it names.
class CancelAtFile : public IExportObserver {
 public:
  CancelAtFile(std::unique_ptr<ExportProgress>* progress, std::string marker)
      : m_progress(progress), m_marker(std::move(marker)) {}
  void OnProgress(int percent, const std::string& path, const ExportCounters&) override {
    if (percent < 100 && path.find(m_marker) != std::string::npos) (*m_progress)->Cancel();
  }
  void OnResultRow(const ExportResultRow&) override {}

 private:
  std::unique_ptr<ExportProgress>* m_progress;
  std::string m_marker;
};

TEST_F(ExportWorkerTest, CancelLeavesNoPartialFilesAndWritesWhatWasCollected) {
  m_results.calls = {Call("+1", 1, 5)};
  m_results.cameraRoll = {StoredFile("IMG_1.JPG", 200000), StoredFile("IMG_2.JPG", 200000),
                          StoredFile("IMG_3.JPG", 200000)};
  RegisterAll({CategoryKind::kCallHistory, CategoryKind::kCameraRoll});
  CancelAtFile observer(&m_progress, "IMG_2");

  EXPECT_EQ(Export(&observer), kCancelled);

  const std::set<std::string> expected = {"CallHistory/CallHistory_" + kStamp + ".html", "Camera Roll/IMG_1.JPG",
                                          "index.html"};
  EXPECT_EQ(FilesBelow(m_out), expected);
  EXPECT_EQ(fs::file_size(m_out / "Camera Roll/IMG_1.JPG"), 200000u);
  const ExportCounters counters = m_progress->Counters();
  EXPECT_EQ(counters.processed, 2);
  EXPECT_EQ(counters.failed, 0);
  EXPECT_EQ(counters.total, 4);
}

TEST_F(ExportWorkerTest, FailedCopiesAreListedFirstWithTheirReason) {
  FileItem missing = StoredFile("GONE.JPG", 10);
  fs::remove(missing.path);
  m_results.cameraRoll = {StoredFile("OK.JPG", 10), missing};
  m_results.notes = {NoteItem{}};
  m_results.notes[0].title = "t";
  RegisterAll();

  ASSERT_FALSE(Export());

  const std::vector<ExportResultRow> rows = m_progress->Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_FALSE(rows[0].succeeded);
  EXPECT_EQ(rows[0].path, (m_out / "Camera Roll/GONE.JPG").string());
  EXPECT_EQ(rows[0].status, "The file is missing, cannot be opened or is not of the expected kind");
  EXPECT_EQ(rows[1].status, "Success");
  EXPECT_EQ(m_progress->Counters().failed, 1);
  EXPECT_FALSE(fs::exists(m_out / "Camera Roll/GONE.JPG"));
}

// The raw row files are written alongside the walk; a failed one is still
// reported, with its reason, and the pages of its category are written.
TEST_F(ExportWorkerTest, FailedRawRowFilesAreReportedWithTheirReason) {
  m_results.messages[1] = {Message(1, "2024-01-01 10:00:00", "Ann", "+1", "hi", 0, 1)};
  m_results.contacts = {Contact("Carol", "555-1234")};
  m_source.rowFileResult = std::make_error_code(std::errc::no_space_on_device);
  RegisterAll();

  ASSERT_FALSE(Export());

  std::map<std::string, std::string> failed;
  for (const ExportResultRow& row : m_progress->Rows()) {
    if (!row.succeeded) failed[fs::path(row.path).filename().string()] = row.status;
  }
  const std::string noSpace = std::error_code(ENOSPC, std::system_category()).message();
  EXPECT_EQ(failed, (std::map<std::string, std::string>{{"sms.csv", noSpace}, {"Contacts.csv", noSpace}}));
  EXPECT_EQ(m_progress->Counters().failed, 2);
  EXPECT_TRUE(fs::exists(m_out / ("Contacts/" + kStamp + "/Contacts.html")));
  EXPECT_TRUE(fs::exists(m_out / "Message/Ann-20240102030405/Ann(+1).html"));
}

TEST_F(ExportWorkerTest, RecordsJsonHoldsEveryExportedRecord) {
  MessageItem edited = Message(1, "2024-01-01 10:00:00", "Ann", "+1", "line\none", 0, 1);
  edited.edited = 1;
  edited.reactions = "Liked by Me.";
  m_results.messages[1] = {edited};
  m_results.cameraRoll = {StoredFile("A.JPG", 10)};
  RegisterAll();

  ASSERT_FALSE(Export(nullptr, true));

  const std::string messages = Read(m_out / "Message/records.json");
  EXPECT_EQ(messages,
            "[\n{\"deleted\":true,\"fromMe\":false,\"rowId\":0,\"handleId\":1,\"date\":\"2024-01-01 10:00:00\","
            "\"address\":\"+1\",\"name\":\"Ann\",\"text\":\"line\\none\",\"attachment\":\"\","
            "\"edited\":true,\"unsent\":false,\"reactions\":\"Liked by Me.\"}\n]\n");
  // The pages show the notes below the text.
  const fs::path ann = m_out / ("Message/Ann-" + kStamp);
  EXPECT_NE(Read(ann / "Ann(+1).html").find("line<br />one<br />This message was edited. Liked by Me.</div>"),
            std::string::npos);
  EXPECT_NE(Read(ann / "Ann(+1).txt").find("Content: line\r\none\r\nThis message was edited. Liked by Me.\r\n"),
            std::string::npos);
  const std::string photos = Read(m_out / "Camera Roll/records.json");
  EXPECT_NE(photos.find("\"exportedPath\":" + JsonString((m_out / "Camera Roll/A.JPG").string())),
            std::string::npos);
}

// A Live Photo in Recently Deleted: its movie is copied beside the still,
// and the record says where, with the library's name and dates.
TEST_F(ExportWorkerTest, LivePhotoExportsItsMovieAndLibraryDetails) {
  using namespace std::string_literals;
  FileItem still = StoredFile("IMG_0011.HEIC", 30);
  const FileItem movie = StoredFile("IMG_0011.MOV", 50);
  still.pairedVideo = PairedVideo{movie.size, movie.name, movie.path};
  still.deleted = true;
  still.originalName = "Beach day.heic";
  still.created = "2024-01-01 10:00:00";
  still.trashed = "2024-01-05 11:00:00";
  m_results.cameraRoll = {still};
  RegisterAll();

  ASSERT_FALSE(Export(nullptr, true));

  EXPECT_EQ(fs::file_size(m_out / "Camera Roll/IMG_0011.HEIC"), 30u);
  EXPECT_EQ(fs::file_size(m_out / "Camera Roll/IMG_0011.MOV"), 50u);
  const std::string photos = Read(m_out / "Camera Roll/records.json");
  for (const std::string& field :
       {"\"deleted\":true"s, "\"originalName\":\"Beach day.heic\""s, "\"created\":\"2024-01-01 10:00:00\""s,
        "\"trashed\":\"2024-01-05 11:00:00\""s, "\"pairedVideo\":\"IMG_0011.MOV\""s,
        "\"exportedVideoPath\":" + JsonString((m_out / "Camera Roll/IMG_0011.MOV").string())}) {
    EXPECT_NE(photos.find(field), std::string::npos) << field << " in " << photos;
  }
}

}  // namespace
}  // namespace scrivel
