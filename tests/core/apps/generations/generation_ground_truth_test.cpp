// The decoders on a sample backup built in the real table layouts of each
// iOS generation, against what the builder wrote: every live record has
// the values of its row (dates included), so nothing is read from another
// column; every deleted record is a row the builder wrote.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "core/common/csv_quote.h"
#include "core/common/result_codes.h"
#include "core/apps/contacts.h"
#include "core/apps/contacts_dump.h"
#include "core/apps/contacts_name.h"
#include "core/apps/local_date.h"
#include "core/apps/message_text.h"
#include "core/apps/messages_dump.h"
#include "core/apps/note_store.h"
#include "core/apps/table_decoders.h"
#include "core/apps/typedstream_text.h"
#include "fixtures/note_store_database.h"
#include "fixtures/sample_backup.h"
#include "fixtures/sample_layouts.h"
#include "fixtures/temporary_folder.h"

namespace scrivel::apps {
namespace {

namespace fx = scrivel::fixtures;

using Truths = std::vector<const fx::GroundTruthRecord*>;

// The date text of Apple seconds stored as an integer (seconds or, from
// iOS 11 on, nanoseconds) or a real.
std::string AppleDate(const fx::SqlValue* value) {
  std::int64_t seconds = 0;
  if (const auto* integer = std::get_if<std::int64_t>(value)) {
    seconds = *integer > 100'000'000'000 ? *integer / 1'000'000'000 : *integer;
  } else if (const auto* real = std::get_if<double>(value)) {
    seconds = static_cast<std::int64_t>(*real);
  } else {
    return "";
  }
  return FormatLocalDate(seconds + kAppleEpochInUnixSeconds);
}

// The text a message row shows: its text column; else the text archived in
// attributedBody (the latest one of an edited message); else, when it was
// unsent, the sentence that says so.
std::string ShownMessageText(const fx::GroundTruthRecord& row) {
  if (std::string text = row.Text("text"); !text.empty()) return text;
  if (const auto* body = std::get_if<fx::Blob>(row.Find("attributedBody")); body != nullptr) {
    if (std::string text = TypedstreamText(body->bytes); !text.empty()) return text;
  }
  if (row.Integer("date_retracted") != 0) return std::string(kUnsentMessageText);
  return "";
}

template <typename Tuple>
void ExpectSameRecords(std::vector<Tuple> expected, std::vector<Tuple> decoded, const char* what) {
  std::sort(expected.begin(), expected.end());
  std::sort(decoded.begin(), decoded.end());
  EXPECT_EQ(decoded.size(), expected.size()) << what;
  EXPECT_TRUE(decoded == expected) << what << ": live records differ from the rows written";
}

// Every deleted record holds exactly the values of a row written to the
// table (no value from another column, no name cut or shifted), and when
// rows were deleted some come back. `written` and `deleted` are the rows the
// builder wrote and the ones it deleted, in the decoded records' form.
template <typename Row>
void ExpectDeletedAreExact(const std::vector<Row>& written, const std::vector<Row>& deleted,
                           const std::vector<Row>& decodedDeleted, const char* what) {
  const std::set<Row> writtenRows(written.begin(), written.end());
  const std::set<Row> deletedRows(deleted.begin(), deleted.end());
  std::set<Row> recovered;
  for (const Row& row : decodedDeleted) {
    EXPECT_TRUE(writtenRows.count(row)) << what << ": deleted record is no row written: " << ::testing::PrintToString(row);
    if (deletedRows.count(row)) recovered.insert(row);
  }
  if (!deletedRows.empty()) {
    EXPECT_GT(recovered.size(), 0u) << what << ": no deleted row recognised";
  }
  ::testing::Test::RecordProperty(std::string(what) + " deleted recovered",
                                  std::to_string(recovered.size()) + " of " + std::to_string(deletedRows.size()));
}

// The fields of one line of a row dump ("sms.csv", "Contacts.csv"): split
// at the commas outside double quotes; a quoted field loses its quotes, its
// doubled double quotes, and the apostrophe put before a leading formula
// character.
std::vector<std::string> DumpFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ',') {
      fields.emplace_back();
    } else if (c == '"') {
      if (i + 1 < line.size() && line[i + 1] == '\'' && StartsLikeFormula(std::string_view(line).substr(i + 2))) ++i;
      for (++i; i < line.size(); ++i) {
        if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          fields.back() += line[i++];
        } else if (line[i] == '"') {
          break;
        } else {
          fields.back() += line[i];
        }
      }
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// The lines of a dump; each ends in "\r\n" (a text may hold a bare "\n").
std::vector<std::string> DumpLines(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  std::vector<std::string> lines;
  for (std::size_t begin = 0, end; (end = all.find("\r\n", begin)) != std::string::npos; begin = end + 2)
    lines.push_back(all.substr(begin, end - begin));
  return lines;
}

// One sample backup of a generation, built once for all its tests.
struct GenerationBackup {
  fx::TemporaryFolder folder{"generations"};
  fx::SampleBackupOptions options;
  fx::SampleLayouts layouts;
  fx::GroundTruth truth;
  std::error_code built = kBadFile;
};

const GenerationBackup& BackupOf(const char* generation) {
  static std::map<std::string, std::unique_ptr<GenerationBackup>> backups;
  std::unique_ptr<GenerationBackup>& backup = backups[generation];
  if (!backup) {
    backup = std::make_unique<GenerationBackup>();
    backup->options.generation = generation;
    backup->built = fx::BuildSampleBackup(backup->folder.Path() / "backup", backup->options, &backup->truth);
    if (!fx::ChooseSampleLayouts(generation, backup->options.layout, &backup->layouts)) backup->built = kBadFile;
  }
  return *backup;
}

// The message layout of older WhatsApp versions, which every sample's records fit.
constexpr int kOlderWhatsAppColumns = 28;

class GenerationTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);  // dates are compared as UTC texts
    ::tzset();
    ASSERT_FALSE(m_backup.built);
  }

  void Open(const fx::StoredDatabase& database, sqlite::DatabaseRecovery* reader) {
    const auto path = fx::StoredFilePathIn(m_backup.folder.Path() / "backup", m_backup.options.layout, database.fileId);
    ASSERT_FALSE(reader->Open(path.string())) << database.relativePath;
  }

  const GenerationBackup& m_backup = BackupOf(GetParam());
  const fx::SampleLayouts& m_layouts = m_backup.layouts;
  const fx::GroundTruth& m_truth = m_backup.truth;
};

TEST_P(GenerationTest, Messages) {
  sqlite::DatabaseRecovery reader;
  ASSERT_NO_FATAL_FAILURE(Open(fx::kSmsDatabase, &reader));
  std::vector<MessageItem> decoded;
  ASSERT_FALSE(DecodeMessages(reader, &decoded));

  // Deleted records get numbers above every ROWID, not their own: compared without.
  using Row = std::tuple<std::int32_t, std::string, std::int32_t, std::int32_t, std::string>;
  const Truths truths = m_truth.RecordsOf("messages", "message");
  std::vector<Row> expected, live, written, deleted, decodedDeleted;
  for (const fx::GroundTruthRecord* r : truths) {
    const std::string text = ShownMessageText(*r);
    if (text.empty()) continue;  // the decoder keeps messages with text only
    Row row(static_cast<std::int32_t>(r->rowId), text, static_cast<std::int32_t>(r->Integer("handle_id")),
            r->Integer("is_from_me") == 1 ? 1 : 0, AppleDate(r->Find("date")));
    if (!r->deleted) expected.push_back(row);
    std::get<0>(row) = 0;
    written.push_back(row);
    if (r->deleted) deleted.push_back(row);
  }
  for (const MessageItem& m : decoded)
    (m.deleted ? decodedDeleted : live).emplace_back(m.deleted ? 0 : m.rowId, m.text, m.handleId, m.fromMe, m.date);
  ExpectSameRecords(expected, live, "messages");
  ExpectDeletedAreExact(written, deleted, decodedDeleted, "messages");
}

TEST_P(GenerationTest, Contacts) {
  sqlite::DatabaseRecovery reader;
  ASSERT_NO_FATAL_FAILURE(Open(fx::kAddressBookDatabase, &reader));
  std::vector<ContactItem> decoded;
  ASSERT_FALSE(DecodeContacts(reader, &decoded));

  using Row = std::tuple<std::string, std::string, std::string, std::string, std::string, std::string, std::string>;
  const Truths truths = m_truth.RecordsOf("contacts", "ABPersonFullTextSearch");
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live, written, deleted, decodedDeleted;
  for (const fx::GroundTruthRecord* r : truths) {
    const Row row(ComposePersonName({"", r->Text("First"), "", r->Text("Last"), ""}), r->Text("Organization"), r->Text("Phone"), r->Text("Email"),
                  r->Text("Address"), r->Text("SocialProfile"), r->Text("URL"));
    written.push_back(row);
    (r->deleted ? deleted : expected).push_back(row);
  }
  for (const ContactItem& c : decoded)
    (c.deleted ? decodedDeleted : live).emplace_back(c.name, c.company, c.phone, c.email, c.address, c.social, c.url);
  ExpectSameRecords(expected, live, "contacts");
  ExpectDeletedAreExact(written, deleted, decodedDeleted, "contacts");
}

// Where the address book has its main tables, each live person is listed
// once, under the name the phone shows, with every number as typed and
// every e-mail address of its value rows.
TEST_P(GenerationTest, ContactListFromMainTables) {
  const Truths persons = m_truth.RecordsOf("contacts", "ABPerson");
  if (persons.empty()) GTEST_SKIP() << "no main tables in this generation";
  const auto path = fx::StoredFilePathIn(m_backup.folder.Path() / "backup", m_backup.options.layout,
                                         fx::kAddressBookDatabase.fileId);
  std::vector<ContactItem> contacts;
  std::uint64_t highestRowId = 0;
  ASSERT_FALSE(ParseContacts(path.string(), &contacts, &highestRowId));

  std::multimap<std::string, const ContactItem*> liveByName;
  for (const ContactItem& contact : contacts)
    if (!contact.deleted) liveByName.emplace(contact.name, &contact);
  std::size_t livePersons = 0;
  for (const fx::GroundTruthRecord* person : persons) {
    if (person->deleted) continue;
    ++livePersons;
    std::vector<std::string> phones, emails;
    for (const fx::GroundTruthRecord* value : m_truth.RecordsOf("contacts", "ABMultiValue")) {
      if (value->deleted || value->Integer("record_id") != person->rowId) continue;
      if (value->Integer("property") == 3) phones.push_back(value->Text("value"));
      if (value->Integer("property") == 4) emails.push_back(value->Text("value"));
    }
    std::string name = ComposePersonName({"", person->Text("First"), "", person->Text("Last"), ""});
    if (name.empty()) name = person->Text("Organization");
    if (name.empty()) name = kNoContactName;
    bool found = false;
    for (auto [it, end] = liveByName.equal_range(name); it != end && !found; ++it) {
      const ContactItem& contact = *it->second;
      found = true;
      for (const std::string& phone : phones) found = found && contact.phone.find(": " + phone) != std::string::npos;
      for (const std::string& email : emails) found = found && contact.email.find(": " + email) != std::string::npos;
    }
    EXPECT_TRUE(found) << name << " (person " << person->rowId << ")";
  }
  EXPECT_EQ(liveByName.size(), livePersons) << "a live person listed twice or not at all";
}

TEST_P(GenerationTest, Calls) {
  sqlite::DatabaseRecovery reader;
  const bool storeData = m_layouts.callHistoryIsStoreData;
  ASSERT_NO_FATAL_FAILURE(Open(storeData ? fx::kCallHistoryStoreDatabase : fx::kCallHistoryDatabase, &reader));
  const char* table = storeData ? "ZCALLRECORD" : "call";
  std::vector<CallItem> decoded;
  ASSERT_FALSE(DecodeCalls(reader, table, storeData ? CallRecordLayout::kStoreData : CallRecordLayout::kCallHistoryDb,
                           &decoded));

  using Row = std::tuple<std::string, std::string, std::int32_t, std::int32_t>;
  const Truths truths = m_truth.RecordsOf("calls", table);
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live, written, deleted, decodedDeleted;
  for (const fx::GroundTruthRecord* r : truths) {
    const Row row = storeData ? Row(r->Text("ZADDRESS"), AppleDate(r->Find("ZDATE")),
                                    static_cast<std::int32_t>(r->Integer("ZDURATION")),
                                    r->Integer("ZORIGINATED") == 0 ? 1 : 0)
                              : Row(r->Text("address"), FormatLocalDate(r->Integer("date")),
                                    static_cast<std::int32_t>(r->Integer("duration")),
                                    (r->Integer("flags") & 1) == 0 ? 1 : 0);
    written.push_back(row);
    (r->deleted ? deleted : expected).push_back(row);
  }
  for (const CallItem& c : decoded)
    (c.deleted ? decodedDeleted : live).emplace_back(c.address, c.date, c.duration, c.incoming);
  ExpectSameRecords(expected, live, "calls");
  ExpectDeletedAreExact(written, deleted, decodedDeleted, "calls");

  // The older half of the calls was written before the table's last
  // columns were added (where the generation has that): some of those
  // short records were deleted, and come back too.
  if (m_layouts.callColumnsAddedLate > 0) {
    const std::set<Row> recovered(decodedDeleted.begin(), decodedDeleted.end());
    std::size_t shortDeleted = 0, shortRecovered = 0;
    for (const fx::GroundTruthRecord* r : truths) {
      if (!r->deleted || r->rowId > static_cast<std::int64_t>(truths.size() / 2)) continue;
      ++shortDeleted;
      const Row row(r->Text("ZADDRESS"), AppleDate(r->Find("ZDATE")), static_cast<std::int32_t>(r->Integer("ZDURATION")),
                    r->Integer("ZORIGINATED") == 0 ? 1 : 0);
      shortRecovered += recovered.count(row);
    }
    ASSERT_GT(shortDeleted, 0u);
    EXPECT_GT(shortRecovered, 0u) << "no short old call record recognised";
    RecordProperty("short calls deleted recovered", std::to_string(shortRecovered) + " of " + std::to_string(shortDeleted));
  }
}

TEST_P(GenerationTest, WhatsAppMessages) {
  sqlite::DatabaseRecovery reader;
  ASSERT_NO_FATAL_FAILURE(Open(m_layouts.whatsAppChatLocation, &reader));
  std::vector<ChatMessageItem> decoded;
  ASSERT_FALSE(DecodeWhatsAppMessages(reader, kOlderWhatsAppColumns, &decoded));

  // A media message has no text: its media item is what it shows.
  using Row = std::tuple<std::int32_t, std::string, std::int32_t, std::int32_t, std::string, std::int32_t>;
  const Truths truths = m_truth.RecordsOf("whatsapp", "ZWAMESSAGE");
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live, written, deleted, decodedDeleted;
  for (const fx::GroundTruthRecord* r : truths) {
    Row row(static_cast<std::int32_t>(r->rowId), r->Text("ZTEXT"), static_cast<std::int32_t>(r->Integer("ZISFROMME")),
            static_cast<std::int32_t>(r->Integer("ZCHATSESSION", -1)), AppleDate(r->Find("ZMESSAGEDATE")),
            static_cast<std::int32_t>(r->Integer("ZMEDIAITEM")));
    if (!r->deleted) expected.push_back(row);
    std::get<0>(row) = 0;  // deleted records carry no primary key: compared without
    written.push_back(row);
    if (r->deleted) deleted.push_back(row);
  }
  for (const ChatMessageItem& m : decoded)
    (m.deleted ? decodedDeleted : live)
        .emplace_back(m.deleted ? 0 : m.messageId, m.text, m.fromMe, m.chatSessionId, m.date, m.mediaItemId);
  ExpectSameRecords(expected, live, "whatsapp messages");
  ExpectDeletedAreExact(written, deleted, decodedDeleted, "whatsapp messages");
}

// The dumps read deleted rows with the table's own column count: each
// deleted line holds the values of a row written, in its columns.
TEST_P(GenerationTest, MessageDump) {
  const auto sms = fx::StoredFilePathIn(m_backup.folder.Path() / "backup", m_backup.options.layout,
                                        fx::kSmsDatabase.fileId);
  const fx::TemporaryFolder out("message-dump");
  ASSERT_FALSE(DumpMessageRows(sms.string(), (out.Path() / "sms.csv").string(), 0));

  std::set<std::string> written, deleted, recovered;
  for (const fx::GroundTruthRecord* r : m_truth.RecordsOf("messages", "message")) {
    written.insert(r->Text("text"));
    if (r->deleted) deleted.insert(r->Text("text"));
  }
  std::size_t deletedLines = 0;
  for (const std::string& line : DumpLines(out.Path() / "sms.csv")) {
    const std::vector<std::string> fields = DumpFields(line);
    // A deleted row's GUID is generated; its text is the field behind it.
    const auto guid = std::find_if(fields.begin(), fields.end(),
                                   [](const std::string& f) { return f.starts_with("27B99F78-F6F0-475F-8BA1-"); });
    if (guid == fields.end() || guid + 1 == fields.end() || guid[1] == "NULL") continue;
    ++deletedLines;
    EXPECT_TRUE(written.count(guid[1])) << "deleted line's text is no message written: " << line;
    if (deleted.count(guid[1])) recovered.insert(guid[1]);
  }
  EXPECT_GT(deletedLines, 0u);
  EXPECT_FALSE(recovered.empty());
}

TEST_P(GenerationTest, ContactDump) {
  const auto addressBook = fx::StoredFilePathIn(m_backup.folder.Path() / "backup", m_backup.options.layout,
                                                fx::kAddressBookDatabase.fileId);
  const fx::TemporaryFolder out("contact-dump");
  constexpr std::uint64_t kAboveLiveRows = 100000;  // deleted lines are numbered above this
  ASSERT_FALSE(DumpContactRows(addressBook.string(), (out.Path() / "Contacts.csv").string(), kAboveLiveRows));

  using Name = std::pair<std::string, std::string>;
  std::set<Name> written, deleted, recovered;
  for (const fx::GroundTruthRecord* r : m_truth.RecordsOf("contacts", "ABPersonFullTextSearch")) {
    const Name name(r->Text("First").empty() ? "NULL" : r->Text("First"), r->Text("Last").empty() ? "NULL" : r->Text("Last"));
    written.insert(name);
    if (r->deleted) deleted.insert(name);
  }
  for (const std::string& line : DumpLines(out.Path() / "Contacts.csv")) {
    const std::vector<std::string> fields = DumpFields(line);
    ASSERT_GE(fields.size(), 3u) << line;
    // A line opens with its number, except a deleted row read from column 1
    // on (its docid's serial type was lost), which opens with First.
    const bool numbered = std::all_of(fields[0].begin(), fields[0].end(), [](char c) { return c >= '0' && c <= '9'; });
    if (numbered && std::stoull(fields[0]) <= kAboveLiveRows) continue;  // a live row
    const Name name = numbered ? Name(fields[1], fields[2]) : Name(fields[0], fields[1]);
    EXPECT_TRUE(written.count(name)) << "deleted line's name is no contact written: " << line;
    if (deleted.count(name)) recovered.insert(name);
  }
  EXPECT_FALSE(recovered.empty());
}

// notes.sqlite exists up to iOS 8; later generations keep notes in NoteStore.sqlite.
TEST_P(GenerationTest, NoteTitles) {
  if (m_layouts.notesInNoteStore) GTEST_SKIP() << "notes live in NoteStore.sqlite";
  sqlite::DatabaseRecovery reader;
  ASSERT_NO_FATAL_FAILURE(Open(fx::kNotesDatabase, &reader));
  std::vector<NoteItem> decoded;
  ASSERT_FALSE(DecodeNotes(reader, &decoded));

  using Row = std::tuple<std::int32_t, std::string, std::string>;
  const Truths truths = m_truth.RecordsOf("notes", "ZNOTE");
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live, written, deleted, decodedDeleted;
  for (const fx::GroundTruthRecord* r : truths) {
    const Row row(static_cast<std::int32_t>(r->Integer("ZBODY")), r->Text("ZTITLE"), AppleDate(r->Find("ZCREATIONDATE")));
    written.push_back(row);
    (r->deleted ? deleted : expected).push_back(row);
  }
  for (const NoteItem& n : decoded)
    (n.deleted ? decodedDeleted : live).emplace_back(n.noteKey, n.title, n.date);
  ExpectSameRecords(expected, live, "notes");
  ExpectDeletedAreExact(written, deleted, decodedDeleted, "notes");
}

TEST_P(GenerationTest, NoteBodies) {
  if (m_layouts.notesInNoteStore) GTEST_SKIP() << "notes live in NoteStore.sqlite";
  sqlite::DatabaseRecovery reader;
  ASSERT_NO_FATAL_FAILURE(Open(fx::kNotesDatabase, &reader));
  std::vector<NoteItem> decoded;
  ASSERT_FALSE(DecodeNoteBodies(reader, &decoded));

  using Row = std::tuple<std::int32_t, std::string>;
  const Truths truths = m_truth.RecordsOf("notes", "ZNOTEBODY");
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live, written, deleted, decodedDeleted;
  for (const fx::GroundTruthRecord* r : truths) {
    const Row row(static_cast<std::int32_t>(r->Integer("ZOWNER")), r->Text("ZCONTENT"));
    written.push_back(row);
    (r->deleted ? deleted : expected).push_back(row);
  }
  for (const NoteItem& n : decoded)
    (n.deleted ? decodedDeleted : live).emplace_back(n.noteKey, n.content);
  ExpectSameRecords(expected, live, "note bodies");
  ExpectDeletedAreExact(written, deleted, decodedDeleted, "note bodies");
}

// NoteStore.sqlite (iOS 9 on): every live note row comes out with its
// title, dates, folder, locked flag and text, listed deleted when it sits
// in Recently Deleted or is marked for deletion; every other note listed
// is a deleted one with the values of a note row written, and some of the
// notes deleted from the table come back.
TEST_P(GenerationTest, NoteStoreNotes) {
  if (!m_layouts.notesInNoteStore) GTEST_SKIP() << "notes live in notes.sqlite";
  const auto path = fx::StoredFilePathIn(m_backup.folder.Path() / "backup", m_backup.options.layout,
                                         fx::kNoteStoreDatabase.fileId);
  std::vector<NoteItem> decoded;
  ASSERT_FALSE(ParseNoteStore(path.string(), &decoded));

  std::map<std::string, std::int64_t> entities;  // name -> Z_ENT
  for (const fx::GroundTruthRecord* r : m_truth.RecordsOf("notes", "Z_PRIMARYKEY"))
    entities[r->Text("Z_NAME")] = r->Integer("Z_ENT");
  const Truths objects = m_truth.RecordsOf("notes", "ZICCLOUDSYNCINGOBJECT");
  std::map<std::int64_t, std::pair<std::string, bool>> folders;  // Z_PK -> title, is the trash
  for (const fx::GroundTruthRecord* r : objects) {
    if (r->Integer("Z_ENT") == entities["ICFolder"])
      folders[r->rowId] = {r->Text("ZTITLE2"), r->Text("ZIDENTIFIER").starts_with("TrashFolder")};
  }

  // deleted, title, created, modified, folder, locked; and the text.
  using Row = std::tuple<std::int32_t, std::string, std::string, std::string, std::string, std::int32_t>;
  using Text = std::pair<std::string, std::string>;  // title, text
  std::vector<Row> live;
  std::set<Row> writtenDeleted;   // every note row, in the form of a record rebuilt from free space
  std::set<std::string> deletedTitles;
  std::set<Text> texts;
  std::size_t trashNotes = 0;
  for (const fx::GroundTruthRecord* r : objects) {
    if (r->Integer("Z_ENT") != entities["ICNote"]) continue;
    const fx::SqlValue* created = r->Find("ZCREATIONDATE3") ? r->Find("ZCREATIONDATE3") : r->Find("ZCREATIONDATE1");
    const auto& [folder, trash] = folders[r->Integer("ZFOLDER")];
    const std::int32_t locked = static_cast<std::int32_t>(r->Integer("ZISPASSWORDPROTECTED"));
    const std::string title = r->Text("ZTITLE1");
    const std::string snippet = r->Text("ZSNIPPET");
    const bool hasBody = r->Find("ZNOTEDATA") && std::holds_alternative<std::int64_t>(*r->Find("ZNOTEDATA"));
    const std::string text = locked != 0 || !hasBody ? "" : snippet.empty() ? title : title + "\n" + snippet;
    texts.emplace(title, text);
    const bool listedDeleted = trash || r->Integer("ZMARKEDFORDELETION") != 0;
    trashNotes += listedDeleted;
    const Row row(1, title, AppleDate(created), AppleDate(r->Find("ZMODIFICATIONDATE1")), folder, locked);
    writtenDeleted.insert(row);
    if (r->deleted) {
      deletedTitles.insert(title);
    } else {
      live.push_back(row);
      std::get<0>(live.back()) = listedDeleted ? 1 : 0;
    }
  }
  ASSERT_FALSE(live.empty());
  EXPECT_GE(trashNotes, 2u) << "the sample puts notes into Recently Deleted";

  std::multiset<Row> remaining;
  for (const NoteItem& n : decoded) {
    remaining.emplace(n.deleted, n.title, n.date, n.modified, n.folder, n.locked);
    EXPECT_TRUE(texts.count({n.title, n.content}) || (n.deleted && n.content.empty()))
        << "text of " << n.title << " differs: " << n.content;
  }
  for (const Row& row : live) {
    const auto found = remaining.find(row);
    EXPECT_NE(found, remaining.end()) << "live note missing: " << ::testing::PrintToString(row);
    if (found != remaining.end()) remaining.erase(found);
  }
  std::size_t recovered = 0;
  for (const Row& row : remaining) {
    // A body found without its note row has no dates of its own.
    const bool bodyOnly = std::get<2>(row).empty();
    EXPECT_TRUE(bodyOnly ? std::get<0>(row) == 1 : writtenDeleted.count(row) != 0)
        << "deleted note is no note written: " << ::testing::PrintToString(row);
    recovered += deletedTitles.count(std::get<1>(row));
  }
  if (!deletedTitles.empty()) {
    EXPECT_GT(recovered, 0u) << "no deleted note recognised";
  }
}

INSTANTIATE_TEST_SUITE_P(Generations, GenerationTest, ::testing::ValuesIn(fx::kSampleGenerations),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
}  // namespace scrivel::apps
