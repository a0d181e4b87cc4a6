// The decoders on a sample backup built in the real table layouts of each
// iOS generation, against what the builder wrote: every live record has
// the values of its row (dates included), so nothing is read from another
// column; every deleted record is a row the builder wrote.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "core/common/result_codes.h"
#include "core/sqlite_recovery/local_date.h"
#include "core/sqlite_recovery/table_decoders.h"
#include "fixtures/sample_backup.h"
#include "fixtures/sample_layouts.h"
#include "fixtures/temporary_folder.h"

namespace scrivel::sqlite_recovery {
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

template <typename Tuple>
void ExpectSameRecords(std::vector<Tuple> expected, std::vector<Tuple> decoded, const char* what) {
  std::sort(expected.begin(), expected.end());
  std::sort(decoded.begin(), decoded.end());
  EXPECT_EQ(decoded.size(), expected.size()) << what;
  EXPECT_TRUE(decoded == expected) << what << ": live records differ from the rows written";
}

// Every deleted record's key is the key of a row written to the table, and
// when rows were deleted some come back.
template <typename Record>
void ExpectDeletedAreReal(const std::vector<Record>& decoded, std::string Record::*key, const Truths& truths,
                          const char* truthColumn, const char* what) {
  std::set<std::string> written, deleted;
  for (const fx::GroundTruthRecord* record : truths) {
    written.insert(record->Text(truthColumn));
    if (record->deleted) deleted.insert(record->Text(truthColumn));
  }
  std::size_t recovered = 0;
  for (const Record& record : decoded) {
    if (!record.deleted) continue;
    EXPECT_TRUE(written.count(record.*key)) << what << ": deleted record not written: " << record.*key;
    recovered += deleted.count(record.*key);
  }
  if (!deleted.empty()) {
    EXPECT_GT(recovered, 0u) << what << ": no deleted row recognised";
  }
}

// One sample backup of a generation, built once for all its tests.
struct GenerationBackup {
  fx::TemporaryFolder folder{"generations"};
  fx::SampleBackupOptions options;
  fx::SampleLayouts layouts;
  fx::GroundTruth truth;
  int built = kBadFile;
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

class GenerationTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);  // dates are compared as UTC texts
    ::tzset();
    ASSERT_EQ(m_backup.built, kOk);
  }

  void Open(const fx::StoredDatabase& database, SqliteReader* reader) {
    const auto path = fx::StoredFilePathIn(m_backup.folder.Path() / "backup", m_backup.options.layout, database.fileId);
    ASSERT_EQ(reader->Open(path.string()), kOk) << database.relativePath;
  }

  const GenerationBackup& m_backup = BackupOf(GetParam());
  const fx::SampleLayouts& m_layouts = m_backup.layouts;
  const fx::GroundTruth& m_truth = m_backup.truth;
};

TEST_P(GenerationTest, Messages) {
  SqliteReader reader;
  ASSERT_NO_FATAL_FAILURE(Open(fx::kSmsDatabase, &reader));
  std::vector<MessageItem> decoded;
  ASSERT_EQ(DecodeMessages(reader, &decoded), kOk);

  using Row = std::tuple<std::int32_t, std::string, std::int32_t, std::int32_t, std::string>;
  const Truths truths = m_truth.RecordsOf("messages", "message");
  std::vector<Row> expected, live;
  for (const fx::GroundTruthRecord* r : truths)
    if (!r->deleted && !r->Text("text").empty())
      expected.emplace_back(static_cast<std::int32_t>(r->rowId), r->Text("text"),
                            static_cast<std::int32_t>(r->Integer("handle_id")), r->Integer("is_from_me") == 1 ? 1 : 0,
                            AppleDate(r->Find("date")));
  for (const MessageItem& m : decoded)
    if (!m.deleted) live.emplace_back(m.rowId, m.text, m.handleId, m.fromMe, m.date);
  ExpectSameRecords(expected, live, "messages");
  ExpectDeletedAreReal(decoded, &MessageItem::text, truths, "text", "messages");
}

TEST_P(GenerationTest, Contacts) {
  SqliteReader reader;
  ASSERT_NO_FATAL_FAILURE(Open(fx::kAddressBookDatabase, &reader));
  std::vector<ContactItem> decoded;
  ASSERT_EQ(DecodeContacts(reader, &decoded), kOk);

  using Row = std::tuple<std::string, std::string, std::string, std::string, std::string, std::string, std::string>;
  const Truths truths = m_truth.RecordsOf("contacts", "ABPersonFullTextSearch");
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live;
  for (const fx::GroundTruthRecord* r : truths)
    if (!r->deleted)
      expected.emplace_back(r->Text("First") + r->Text("Last"), r->Text("Organization"), r->Text("Phone"),
                            r->Text("Email"), r->Text("Address"), r->Text("SocialProfile"), r->Text("URL"));
  for (const ContactItem& c : decoded)
    if (!c.deleted) live.emplace_back(c.name, c.company, c.phone, c.email, c.address, c.social, c.url);
  ExpectSameRecords(expected, live, "contacts");
  ExpectDeletedAreReal(decoded, &ContactItem::email, truths, "Email", "contacts");
}

TEST_P(GenerationTest, Calls) {
  SqliteReader reader;
  const bool storeData = m_layouts.callHistoryIsStoreData;
  ASSERT_NO_FATAL_FAILURE(Open(storeData ? fx::kCallHistoryStoreDatabase : fx::kCallHistoryDatabase, &reader));
  reader.state.callRecordLayout = storeData ? 1 : 0;
  const char* table = storeData ? "ZCALLRECORD" : "call";
  std::vector<CallItem> decoded;
  ASSERT_EQ(DecodeCalls(reader, table, &decoded), kOk);

  using Row = std::tuple<std::string, std::string, std::int32_t, std::int32_t>;
  const Truths truths = m_truth.RecordsOf("calls", table);
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live;
  for (const fx::GroundTruthRecord* r : truths) {
    if (r->deleted) continue;
    if (storeData)
      expected.emplace_back(r->Text("ZADDRESS"), AppleDate(r->Find("ZDATE")),
                            static_cast<std::int32_t>(r->Integer("ZDURATION")), r->Integer("ZORIGINATED") == 0 ? 1 : 0);
    else
      expected.emplace_back(r->Text("address"), FormatLocalDate(r->Integer("date")),
                            static_cast<std::int32_t>(r->Integer("duration")), (r->Integer("flags") & 1) == 0 ? 1 : 0);
  }
  for (const CallItem& c : decoded)
    if (!c.deleted) live.emplace_back(c.address, c.date, c.duration, c.incoming);
  ExpectSameRecords(expected, live, "calls");
  ExpectDeletedAreReal(decoded, &CallItem::address, truths, storeData ? "ZADDRESS" : "address", "calls");
}

TEST_P(GenerationTest, WhatsAppMessages) {
  SqliteReader reader;
  ASSERT_NO_FATAL_FAILURE(Open(m_layouts.whatsAppChatLocation, &reader));
  std::vector<ChatMessageItem> decoded;
  ASSERT_EQ(DecodeWhatsAppMessages(reader, &decoded), kOk);

  using Row = std::tuple<std::int32_t, std::string, std::int32_t, std::int32_t, std::string>;
  const Truths truths = m_truth.RecordsOf("whatsapp", "ZWAMESSAGE");
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live;
  for (const fx::GroundTruthRecord* r : truths)
    if (!r->deleted)
      expected.emplace_back(static_cast<std::int32_t>(r->rowId), r->Text("ZTEXT"),
                            static_cast<std::int32_t>(r->Integer("ZISFROMME")),
                            static_cast<std::int32_t>(r->Integer("ZCHATSESSION", -1)), AppleDate(r->Find("ZMESSAGEDATE")));
  for (const ChatMessageItem& m : decoded)
    if (!m.deleted) live.emplace_back(m.messageId, m.text, m.fromMe, m.chatSessionId, m.date);
  ExpectSameRecords(expected, live, "whatsapp messages");
  ExpectDeletedAreReal(decoded, &ChatMessageItem::text, truths, "ZTEXT", "whatsapp messages");
}

// notes.sqlite exists up to iOS 8; later generations keep notes in NoteStore.sqlite.
TEST_P(GenerationTest, NoteTitles) {
  if (m_layouts.notesInNoteStore) GTEST_SKIP() << "notes live in NoteStore.sqlite";
  SqliteReader reader;
  ASSERT_NO_FATAL_FAILURE(Open(fx::kNotesDatabase, &reader));
  std::vector<NoteItem> decoded;
  ASSERT_EQ(DecodeNotes(reader, &decoded), kOk);

  using Row = std::tuple<std::int32_t, std::string>;
  const Truths truths = m_truth.RecordsOf("notes", "ZNOTE");
  ASSERT_FALSE(truths.empty());
  std::vector<Row> expected, live;
  for (const fx::GroundTruthRecord* r : truths)
    if (!r->deleted) expected.emplace_back(static_cast<std::int32_t>(r->Integer("ZBODY")), r->Text("ZTITLE"));
  for (const NoteItem& n : decoded)
    if (!n.deleted) live.emplace_back(n.noteKey, n.title);
  ExpectSameRecords(expected, live, "notes");
  ExpectDeletedAreReal(decoded, &NoteItem::title, truths, "ZTITLE", "notes");
}

INSTANTIATE_TEST_SUITE_P(Generations, GenerationTest, ::testing::ValuesIn(fx::kSampleGenerations),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
}  // namespace scrivel::sqlite_recovery
