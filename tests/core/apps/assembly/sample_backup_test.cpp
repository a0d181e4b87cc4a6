// The assemblies on the databases of generated sample backups, checked
// against the builder's ground truth: every live record with its fields,
// deleted records marked, and the joins, names and orders.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "core/common/csv_quote.h"
#include "core/common/result_codes.h"
#include "core/apps/assembly_order.h"
#include "core/apps/call_history.h"
#include "core/apps/contacts.h"
#include "core/apps/contacts_dump.h"
#include "core/apps/contacts_name.h"
#include "core/apps/local_date.h"
#include "core/apps/messages.h"
#include "core/apps/messages_dump.h"
#include "core/apps/notes.h"
#include "core/apps/whatsapp.h"
#include "fixtures/sample_backup.h"

namespace scrivel::apps {
namespace {

namespace fs = std::filesystem;
using fixtures::GroundTruth;
using fixtures::GroundTruthRecord;
using fixtures::StoredDatabase;
using fixtures::StoreLayout;

std::string AppleDate(std::int64_t appleSeconds) { return FormatLocalDate(appleSeconds + kAppleEpochInUnixSeconds); }

// A date column stored as integer or float seconds; its integer part.
std::int64_t Seconds(const GroundTruthRecord& record, const char* column) {
  const fixtures::SqlValue* value = record.Find(column);
  if (value && std::holds_alternative<double>(*value)) return static_cast<std::int64_t>(std::get<double>(*value));
  return record.Integer(column);
}

// The name a contact row shows.
std::string ShownName(const GroundTruthRecord& record) {
  return ComposePersonName({"", record.Text("First"), "", record.Text("Last"), ""});
}

// One sample backup of each store layout, built once for all tests.
class SampleBackup : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", "UTC", 1);
    tzset();
    s_root = fs::temp_directory_path() /
             ("scrivel-assembly-" + std::to_string(getpid()) + "-" + std::to_string(std::time(nullptr)));
    for (const StoreLayout layout : {StoreLayout::Modern, StoreLayout::Legacy}) {
      fixtures::SampleBackupOptions options;
      options.layout = layout;
      options.seed = 5;
      const fs::path dir = s_root / (layout == StoreLayout::Modern ? "modern" : "legacy");
      GroundTruth& truth = layout == StoreLayout::Modern ? s_modern : s_legacy;
      ASSERT_FALSE(fixtures::BuildSampleBackup(dir, options, &truth));
    }
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(s_root, ignored);
  }

  static std::string Path(StoreLayout layout, const StoredDatabase& database) {
    const fs::path dir = s_root / (layout == StoreLayout::Modern ? "modern" : "legacy");
    return fixtures::StoredFilePathIn(dir, layout, database.fileId).string();
  }
  static std::string Modern(const StoredDatabase& database) { return Path(StoreLayout::Modern, database); }

  // Rows of a table, live or deleted.
  static std::vector<const GroundTruthRecord*> Rows(const GroundTruth& truth, const char* category, const char* table,
                                                   bool deleted) {
    std::vector<const GroundTruthRecord*> rows;
    for (const GroundTruthRecord* record : truth.RecordsOf(category, table))
      if (record->deleted == deleted) rows.push_back(record);
    return rows;
  }

  static fs::path s_root;
  static GroundTruth s_modern;
  static GroundTruth s_legacy;
};

fs::path SampleBackup::s_root;
GroundTruth SampleBackup::s_modern;
GroundTruth SampleBackup::s_legacy;

// ---- Messages ----

struct ProgressLog {
  std::vector<int> percents;
  std::error_code answer;
  static std::error_code Report(void* self, int percent) {
    auto* log = static_cast<ProgressLog*>(self);
    log->percents.push_back(percent);
    return log->answer;
  }
};

// When a live contact's phone text contains `address`, `name` is that of
// such a contact (possibly one without a name: ""). Otherwise only
// contacts rebuilt from free space can match, and whether they come back
// whole is the decoder's matter.
void ExpectNameFromContacts(const std::vector<const GroundTruthRecord*>& contacts, const std::string& address,
                            const std::string& name) {
  std::set<std::string> names;
  bool live = false;
  for (const GroundTruthRecord* contact : contacts) {
    if (address.empty() || contact->Text("Phone").find(address) == std::string::npos) continue;
    names.insert(ShownName(*contact));
    live = live || !contact->deleted;
  }
  if (live) {
    EXPECT_EQ(names.count(name), 1u) << address << " named " << name;
  }
}

TEST_F(SampleBackup, MessagesCarryPartnerNameAttachmentAndDate) {
  MessagesByHandle byHandle;
  std::uint64_t highestRowId = 20000;
  ProgressLog progress;
  const ProgressShare share{&ProgressLog::Report, &progress, 10, 60};
  ASSERT_EQ(ParseMessages(Modern(fixtures::kAddressBookDatabase), &byHandle, share, Modern(fixtures::kSmsDatabase),
                          &highestRowId),
            std::error_code{});
  EXPECT_EQ(progress.percents, (std::vector<int>{22, 25, 30, 40, 70, 70}));

  std::map<std::int32_t, const MessageItem*> liveByRowId;
  std::vector<const MessageItem*> deleted;
  for (const auto& [handleId, messages] : byHandle) {
    for (std::size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].handleId, handleId);
      if (i > 0) {
        EXPECT_FALSE(TextLessIgnoringCase(messages[i].date, messages[i - 1].date));
      }
      if (messages[i].deleted) deleted.push_back(&messages[i]);
      else liveByRowId[messages[i].rowId] = &messages[i];
    }
  }

  std::map<std::int64_t, std::string> handleIds;
  for (const GroundTruthRecord* handle : s_modern.RecordsOf("messages", "handle")) handleIds[handle->rowId] = handle->Text("id");
  // A live link to a live attachment names it.
  std::map<std::int64_t, std::string> liveAttachmentFiles;
  std::map<std::int64_t, std::string> attachmentFiles;
  for (const GroundTruthRecord* attachment : s_modern.RecordsOf("messages", "attachment")) {
    attachmentFiles[attachment->rowId] = attachment->Text("filename");
    if (!attachment->deleted) liveAttachmentFiles[attachment->rowId] = attachment->Text("filename");
  }
  std::map<std::int64_t, std::string> liveAttachmentOfMessage;
  for (const GroundTruthRecord* link : Rows(s_modern, "messages", "message_attachment_join", false)) {
    const std::int64_t attachment = link->Integer("attachment_id");
    if (liveAttachmentFiles.count(attachment)) liveAttachmentOfMessage[link->Integer("message_id")] = attachmentFiles[attachment];
  }
  std::set<std::string> knownFiles;
  for (const auto& [rowId, file] : attachmentFiles) knownFiles.insert(file);
  const auto contacts = s_modern.RecordsOf("contacts", "ABPersonFullTextSearch");

  const auto liveRows = Rows(s_modern, "messages", "message", false);
  EXPECT_EQ(liveByRowId.size(), liveRows.size());
  std::int64_t highestLive = 0;
  std::size_t named = 0;
  for (const GroundTruthRecord* row : liveRows) {
    highestLive = std::max(highestLive, row->rowId);
    const auto found = liveByRowId.find(static_cast<std::int32_t>(row->rowId));
    ASSERT_NE(found, liveByRowId.end()) << "message " << row->rowId;
    const MessageItem& message = *found->second;
    EXPECT_EQ(message.text, row->Text("text"));
    EXPECT_EQ(message.date, AppleDate(row->Integer("date")));
    EXPECT_EQ(message.fromMe, row->Integer("is_from_me"));
    EXPECT_EQ(message.handleId, row->Integer("handle_id"));
    EXPECT_EQ(message.address, handleIds[row->Integer("handle_id")]) << "message " << row->rowId;
    if (liveAttachmentOfMessage.count(row->rowId)) {
      EXPECT_EQ(message.attachment, liveAttachmentOfMessage[row->rowId]);
    } else if (!message.attachment.empty()) {
      // Links are rebuilt from free space without any test of their two
      // numbers, so a deleted attachment may come back on another message;
      // it is still a real attachment's file name.
      EXPECT_TRUE(knownFiles.count(message.attachment)) << message.attachment;
    }
    // The name is that of a contact whose phone text holds the address;
    // with a live one among them the message has a name.
    ExpectNameFromContacts(contacts, message.address, message.name);
    if (!message.name.empty()) ++named;
  }
  EXPECT_GT(named, 0u);
  EXPECT_GE(highestRowId, static_cast<std::uint64_t>(highestLive));

  // Deleted messages come back marked and are real ones: those rebuilt
  // from free space have no ROWID, those from cells of free pages keep it.
  std::set<std::string> deletedTexts;
  std::map<std::int64_t, std::string> deletedById;
  for (const GroundTruthRecord* row : Rows(s_modern, "messages", "message", true)) {
    deletedTexts.insert(row->Text("text"));
    deletedById[row->rowId] = row->Text("text");
  }
  EXPECT_FALSE(deleted.empty());
  for (const MessageItem* message : deleted) {
    EXPECT_EQ(deletedTexts.count(message->text), 1u) << message->text;
    if (message->rowId != 0) {
      EXPECT_EQ(deletedById[message->rowId], message->text);
    }
  }
}

TEST_F(SampleBackup, MessagesProgressCancelAndFailures) {
  MessagesByHandle byHandle;
  std::uint64_t highestRowId = 20000;
  ProgressLog cancelling;
  cancelling.answer = kCancelled;
  EXPECT_EQ(ParseMessages(Modern(fixtures::kAddressBookDatabase), &byHandle, {&ProgressLog::Report, &cancelling, 0, 100},
                          Modern(fixtures::kSmsDatabase), &highestRowId),
            kCancelled);
  EXPECT_EQ(cancelling.percents, (std::vector<int>{20, 100}));  // the first step, then the final report
  EXPECT_TRUE(byHandle.empty());
  EXPECT_EQ(highestRowId, 20000u);

  // A database that is not SQLite stays a failure even when the final report says go on.
  ProgressLog goingOn;
  const std::string notSqlite = Modern(fixtures::kSmsDatabase) + "-not-there";
  EXPECT_NE(ParseMessages(Modern(fixtures::kAddressBookDatabase), &byHandle, {&ProgressLog::Report, &goingOn, 0, 100},
                          notSqlite, &highestRowId),
            std::error_code{});
  EXPECT_EQ(goingOn.percents, (std::vector<int>{100}));
  const fs::path textFile = s_root / "modern" / "Info.plist";
  EXPECT_EQ(ParseMessages(Modern(fixtures::kAddressBookDatabase), &byHandle, {}, textFile.string(), &highestRowId),
            kBadFile);
  // Without an address book the messages still come out, without names.
  EXPECT_FALSE(ParseMessages(textFile.string(), &byHandle, {}, Modern(fixtures::kSmsDatabase), &highestRowId));
  ASSERT_FALSE(byHandle.empty());
  for (const auto& [handle, messages] : byHandle) {
    for (const MessageItem& message : messages) EXPECT_EQ(message.name, "") << handle;
  }
}

// ---- Contacts ----

TEST_F(SampleBackup, ContactsListedByNameWithReducedPhones) {
  std::vector<ContactItem> contacts;
  std::uint64_t highestRowId = 20000;
  ASSERT_FALSE(ParseContacts(Modern(fixtures::kAddressBookDatabase), &contacts, &highestRowId));
  for (std::size_t i = 1; i < contacts.size(); ++i) EXPECT_FALSE(TextLessIgnoringCase(contacts[i].name, contacts[i - 1].name));

  std::multimap<std::string, const ContactItem*> byName;
  std::size_t deletedCount = 0;
  for (const ContactItem& contact : contacts) {
    byName.emplace(contact.name, &contact);
    deletedCount += contact.deleted;
  }
  std::size_t liveRows = 0;
  std::int64_t highestLive = 0;
  for (const GroundTruthRecord* row : Rows(s_modern, "contacts", "ABPersonFullTextSearch", false)) {
    highestLive = std::max(highestLive, row->rowId);
    const std::string phoneText = row->Text("Phone");
    const std::string name = ShownName(*row);
    const std::string organization = row->Text("Organization");
    const std::string listedName = !name.empty() ? name : !organization.empty() ? organization : kNoContactName;
    // The listed contact of that name whose phone lines are all long forms
    // taken from this phone text; without a phone text, one without phone
    // lines.
    bool found = false;
    for (auto [it, end] = byName.equal_range(listedName); it != end && !found; ++it) {
      const ContactItem& contact = *it->second;
      if (contact.deleted || contact.phone.empty() != phoneText.empty() || contact.email != row->Text("Email") ||
          contact.company != row->Text("Organization"))
        continue;
      bool linesFromText = true;
      std::istringstream lines(contact.phone);
      for (std::string line; std::getline(lines, line);)
        linesFromText = linesFromText && line.size() > 6 && (" " + phoneText).find(" " + line + " ") != std::string::npos;
      found = linesFromText;
    }
    EXPECT_TRUE(found) << listedName << ": " << phoneText;
    ++liveRows;
  }
  EXPECT_EQ(contacts.size() - deletedCount, liveRows);
  EXPECT_EQ(highestRowId, static_cast<std::uint64_t>(highestLive));

  // Deleted contacts come back marked, with the numbers of a deleted
  // contact. (Their names are not checked: the contact decoder places the
  // values of a deleted record by a serial-type byte count that varies
  // with text lengths, and on this sample it shifts the name texts.)
  std::vector<std::string> deletedPhoneTexts;
  for (const GroundTruthRecord* row : Rows(s_modern, "contacts", "ABPersonFullTextSearch", true))
    deletedPhoneTexts.push_back(" " + row->Text("Phone"));
  std::size_t deletedFound = 0;
  for (const ContactItem& contact : contacts) {
    if (!contact.deleted || contact.phone.empty()) continue;
    const std::string firstLine = contact.phone.substr(0, contact.phone.find('\n'));
    for (const std::string& phoneText : deletedPhoneTexts)
      if (phoneText.find(" " + firstLine + " ") != std::string::npos) {
        ++deletedFound;
        break;
      }
  }
  EXPECT_GT(deletedFound, 0u);
}

// ---- Call history ----

TEST_F(SampleBackup, CallsOfBothDatabaseKindsNamedAndInDateOrder) {
  struct Case {
    StoreLayout layout;
    const GroundTruth* truth;
    StoredDatabase database;
    const char* table;
  };
  const Case cases[] = {
      {StoreLayout::Modern, &s_modern, fixtures::kCallHistoryStoreDatabase, "ZCALLRECORD"},
      {StoreLayout::Legacy, &s_legacy, fixtures::kCallHistoryDatabase, "call"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    std::vector<CallItem> calls;
    ASSERT_FALSE(ParseCallHistory(&calls, Path(c.layout, c.database), Path(c.layout, fixtures::kAddressBookDatabase)));
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_FALSE(TextLessIgnoringCase(calls[i].date, calls[i - 1].date));

    const bool coreData = std::string(c.table) == "ZCALLRECORD";
    const auto contacts = c.truth->RecordsOf("contacts", "ABPersonFullTextSearch");
    std::multimap<std::string, const CallItem*> byDate;
    std::size_t deletedCount = 0;
    for (const CallItem& call : calls) {
      byDate.emplace(call.date, &call);
      deletedCount += call.deleted;
    }
    const auto liveRows = Rows(*c.truth, "calls", c.table, false);
    EXPECT_EQ(calls.size() - deletedCount, liveRows.size());
    EXPECT_GT(deletedCount, 0u);
    for (const GroundTruthRecord* row : liveRows) {
      const std::string address = row->Text(coreData ? "ZADDRESS" : "address");
      const std::string date =
          coreData ? AppleDate(Seconds(*row, "ZDATE")) : FormatLocalDate(row->Integer("date"));
      const CallItem* match = nullptr;
      for (auto [it, end] = byDate.equal_range(date); it != end; ++it)
        if (!it->second->deleted && it->second->address == address) match = it->second;
      ASSERT_NE(match, nullptr) << address << " at " << date;
      if (address.size() < 5) {
        EXPECT_EQ(match->name, "") << address;
      } else {
        ExpectNameFromContacts(contacts, address, match->name);
      }
    }
  }
}

TEST_F(SampleBackup, CallHistoryFailures) {
  std::vector<CallItem> calls;
  const fs::path textFile = s_root / "modern" / "Info.plist";
  EXPECT_EQ(ParseCallHistory(&calls, textFile.string(), Modern(fixtures::kAddressBookDatabase)), kBadFile);
  EXPECT_TRUE(ParseCallHistory(&calls, (s_root / "missing.db").string(), Modern(fixtures::kAddressBookDatabase)));
  EXPECT_FALSE(fs::exists(s_root / "missing.db"));  // opening never creates a file
  EXPECT_TRUE(calls.empty());
  // Without an address book the calls come out, unnamed.
  std::error_code addressBook;
  EXPECT_FALSE(ParseCallHistory(&calls, Modern(fixtures::kCallHistoryStoreDatabase), textFile.string(), &addressBook));
  EXPECT_EQ(addressBook, kBadFile);
  EXPECT_FALSE(calls.empty());
  for (const CallItem& call : calls) EXPECT_EQ(call.name, "");
}

// ---- Notes ----

TEST_F(SampleBackup, NotesPairedWithTitlesAndDatedFrom2001) {
  std::vector<NoteItem> notes;
  ASSERT_FALSE(ParseNotes(Modern(fixtures::kNotesDatabase), &notes));
  std::map<std::int64_t, const GroundTruthRecord*> noteRows;
  for (const GroundTruthRecord* row : s_modern.RecordsOf("notes", "ZNOTE")) noteRows[row->Integer("ZBODY")] = row;

  std::size_t liveBodies = 0;
  std::size_t deletedBodies = 0;
  for (const NoteItem& note : notes) {
    EXPECT_FALSE(note.title.empty() && note.content.empty());
    EXPECT_EQ(note.content.find("<div>"), std::string::npos);
    EXPECT_EQ(note.content.find("&amp;"), std::string::npos) << note.content;
    if (note.content.empty()) continue;  // a note record without a body
    (note.deleted ? deletedBodies : liveBodies)++;
    // A live body comes before any recovered copy, so it takes the live
    // note's title and creation date, counted from 2001-01-01.
    const auto row = noteRows.find(note.noteKey);
    if (!note.deleted && row != noteRows.end()) {
      EXPECT_EQ(note.title, row->second->Text("ZTITLE"));
      EXPECT_EQ(note.date, AppleDate(Seconds(*row->second, "ZCREATIONDATE")));
    }
  }
  EXPECT_EQ(liveBodies, Rows(s_modern, "notes", "ZNOTEBODY", false).size());
  EXPECT_GT(deletedBodies, 0u);

  // Every note record whose body was deleted is listed by itself, with the
  // creation date counted from 2001-01-01.
  std::set<std::int64_t> liveBodyKeys;
  for (const GroundTruthRecord* row : Rows(s_modern, "notes", "ZNOTEBODY", false)) liveBodyKeys.insert(row->Integer("ZOWNER"));
  std::map<std::int64_t, const NoteItem*> unpaired;
  for (const NoteItem& note : notes)
    if (note.content.empty() && !note.deleted) unpaired[note.noteKey] = &note;
  for (const auto& [key, row] : noteRows) {
    if (liveBodyKeys.count(key)) continue;
    const auto found = unpaired.find(key);
    if (found == unpaired.end()) continue;  // paired with a recovered copy of its body
    EXPECT_EQ(found->second->date, AppleDate(Seconds(*row, "ZCREATIONDATE"))) << key;
    EXPECT_EQ(found->second->content, "");
  }
}

// ---- WhatsApp ----

TEST_F(SampleBackup, WhatsAppMessagesCompletedAndGroupedByChat) {
  ChatMessagesBySession bySession;
  ASSERT_FALSE(ParseWhatsApp(Modern(fixtures::kWhatsAppChatDatabase), &bySession));

  std::map<std::int64_t, const GroundTruthRecord*> sessions;
  for (const GroundTruthRecord* row : Rows(s_modern, "whatsapp", "ZWACHATSESSION", false)) sessions[row->rowId] = row;
  std::map<std::int64_t, const GroundTruthRecord*> members;
  std::map<std::int64_t, std::vector<const GroundTruthRecord*>> membersOfChat;
  for (const GroundTruthRecord* row : s_modern.RecordsOf("whatsapp", "ZWAGROUPMEMBER")) {
    members[row->rowId] = row;
    membersOfChat[row->Integer("ZCHATSESSION")].push_back(row);
  }
  std::map<std::int64_t, std::string> mediaPaths;
  for (const GroundTruthRecord* row : Rows(s_modern, "whatsapp", "ZWAMEDIAITEM", false))
    mediaPaths[row->rowId] = row->Text("ZMEDIALOCALPATH");
  const auto beforeAt = [](const std::string& jid) { return jid.substr(0, jid.find('@')); };

  std::map<std::int32_t, const ChatMessageItem*> liveById;
  for (const auto& [session, messages] : bySession) {
    for (std::size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].chatSessionId, session);
      EXPECT_FALSE(messages[i].text.empty());
      if (i > 0) {
        EXPECT_FALSE(TextLessIgnoringCase(messages[i].date, messages[i - 1].date));
      }
      if (!messages[i].deleted) liveById[messages[i].messageId] = &messages[i];
    }
  }

  std::size_t groupMessages = 0;
  for (const GroundTruthRecord* row : Rows(s_modern, "whatsapp", "ZWAMESSAGE", false)) {
    SCOPED_TRACE("ZWAMESSAGE " + std::to_string(row->rowId));
    const auto found = liveById.find(static_cast<std::int32_t>(row->rowId));
    ASSERT_NE(found, liveById.end());
    const ChatMessageItem& message = *found->second;
    const std::string text = row->Text("ZTEXT");
    EXPECT_EQ(message.text, text.empty() ? mediaPaths[row->Integer("ZMEDIAITEM")] : text);
    const GroundTruthRecord& chat = *sessions.at(row->Integer("ZCHATSESSION"));
    EXPECT_EQ(message.chatTitle, chat.Text("ZPARTNERNAME"));
    const auto& chatMembers = membersOfChat[chat.rowId];
    if (chatMembers.empty()) {
      EXPECT_EQ(message.chatJids, beforeAt(chat.Text("ZCONTACTJID")));
      EXPECT_EQ(message.chatNames, chat.Text("ZPARTNERNAME"));
    } else {
      ++groupMessages;
      std::string jids;
      for (const GroundTruthRecord* member : chatMembers) jids += (jids.empty() ? "" : ",") + beforeAt(member->Text("ZMEMBERJID"));
      EXPECT_EQ(message.chatJids, jids);
    }
    if (row->Integer("ZISFROMME") == 1) {
      EXPECT_EQ(message.senderName, kOwnSenderName);
      EXPECT_EQ(message.senderJid, "");
    } else if (row->Integer("ZGROUPMEMBER") >= 2) {
      const GroundTruthRecord& member = *members.at(row->Integer("ZGROUPMEMBER"));
      EXPECT_EQ(message.senderName, member.Text("ZCONTACTNAME"));
      EXPECT_EQ(message.senderJid, beforeAt(member.Text("ZMEMBERJID")));
    } else {
      EXPECT_EQ(message.senderName, chat.Text("ZPARTNERNAME"));
      EXPECT_EQ(message.senderJid, beforeAt(chat.Text("ZCONTACTJID")));
    }
  }
  EXPECT_GT(groupMessages, 0u);
}

TEST_F(SampleBackup, WhatsAppWithoutMessageTable) {
  ChatMessagesBySession bySession;
  EXPECT_EQ(ParseWhatsApp(Modern(fixtures::kNotesDatabase), &bySession), kQueryError);
  const fs::path textFile = s_root / "modern" / "Info.plist";
  EXPECT_EQ(ParseWhatsApp(textFile.string(), &bySession), kBadFile);  // not a database at all
  EXPECT_TRUE(bySession.empty());
}

// ---- A damaged definition of another table ----

// Copies `source` to `copy` with one byte of the CREATE statement of
// Z_METADATA (a table no assembly reads) changed, so that the statement no
// longer parses.
void CopyWithDamagedDefinition(const std::string& source, const fs::path& copy) {
  std::ifstream in(source, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  constexpr std::string_view kDefinition = "CREATE TABLE Z_METADATA (";
  const std::size_t at = bytes.find(kDefinition);
  ASSERT_NE(at, std::string::npos);
  bytes[at + kDefinition.size() - 1] = '!';
  std::ofstream(copy, std::ios::binary) << bytes;
}

// Whether the SQLite library answers a query on `table` of `path`.
bool LibraryReads(const fs::path& path, const char* table) {
  sqlite3* database = nullptr;
  bool prepared = false;
  if (sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    const std::string query = std::string("select * from ") + table;
    prepared = sqlite3_prepare_v2(database, query.c_str(), -1, &statement, nullptr) == SQLITE_OK;
    sqlite3_finalize(statement);
  }
  sqlite3_close(database);
  return prepared;
}

TEST_F(SampleBackup, ADamagedDefinitionOfAnotherTableCostsNoChatsAndNoCalls) {
  const fs::path chats = s_root / "damaged-chat-storage.sqlite";
  CopyWithDamagedDefinition(Modern(fixtures::kWhatsAppChatDatabase), chats);
  ASSERT_FALSE(LibraryReads(chats, "ZWAMESSAGE"));  // the library refuses the whole schema
  ChatMessagesBySession intact;
  ChatMessagesBySession damaged;
  ASSERT_FALSE(ParseWhatsApp(Modern(fixtures::kWhatsAppChatDatabase), &intact));
  ASSERT_FALSE(ParseWhatsApp(chats.string(), &damaged));
  ASSERT_FALSE(intact.empty());
  ASSERT_EQ(damaged.size(), intact.size());
  for (const auto& [session, messages] : intact) {
    ASSERT_EQ(damaged[session].size(), messages.size()) << session;
    for (std::size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(damaged[session][i].text, messages[i].text);
      EXPECT_EQ(damaged[session][i].senderName, messages[i].senderName);
    }
  }

  const fs::path callDb = s_root / "damaged-call-history.storedata";
  CopyWithDamagedDefinition(Modern(fixtures::kCallHistoryStoreDatabase), callDb);
  ASSERT_FALSE(LibraryReads(callDb, "ZCALLRECORD"));
  std::vector<CallItem> intactCalls;
  std::vector<CallItem> damagedCalls;
  ASSERT_FALSE(ParseCallHistory(&intactCalls, Modern(fixtures::kCallHistoryStoreDatabase),
                                Modern(fixtures::kAddressBookDatabase)));
  ASSERT_FALSE(ParseCallHistory(&damagedCalls, callDb.string(), Modern(fixtures::kAddressBookDatabase)));
  ASSERT_FALSE(intactCalls.empty());
  ASSERT_EQ(damagedCalls.size(), intactCalls.size());
  for (std::size_t i = 0; i < intactCalls.size(); ++i) {
    EXPECT_EQ(damagedCalls[i].address, intactCalls[i].address);
    EXPECT_EQ(damagedCalls[i].duration, intactCalls[i].duration);
  }
}

// ---- Row files ----

std::vector<std::string> ReadLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> lines;
  const std::string all = text.str();
  std::size_t start = 0;
  for (std::size_t end = all.find("\r\n"); end != std::string::npos; end = all.find("\r\n", start)) {
    lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, all.size()) << "the file ends inside a line";
  return lines;
}

TEST_F(SampleBackup, MessageRowFileHasEveryLiveRowAndNumbersDeletedOnes) {
  const fs::path csv = s_root / "sms.csv";
  const std::uint64_t highest = 20000;
  ASSERT_FALSE(DumpMessageRows(Modern(fixtures::kSmsDatabase), csv.string(), highest));
  const std::vector<std::string> lines = ReadLines(csv);

  std::set<std::int64_t> deletedRowIds;
  for (const GroundTruthRecord* row : Rows(s_modern, "messages", "message", true)) deletedRowIds.insert(row->rowId);
  std::set<std::string> lineStarts;
  std::size_t deletedLines = 0;
  std::set<std::string> deletedGuids;
  for (const std::string& line : lines) {
    const std::size_t comma = line.find(',');
    ASSERT_NE(comma, std::string::npos);
    lineStarts.insert(line.substr(0, line.find(',', comma + 1)));
    const std::size_t guid = line.find("\"27B99F78-F6F0-475F-8BA1-");
    if (guid == std::string::npos) continue;
    ++deletedLines;
    EXPECT_TRUE(deletedGuids.insert(line.substr(guid, 38)).second) << "generated GUID used twice: " << line;
    // A row rebuilt from free space gets a number above the highest ROWID;
    // a cell of a free page keeps its own.
    if (guid == 0) continue;  // the row started at column 1: no number field
    const std::uint64_t number = std::stoull(line.substr(0, comma));
    EXPECT_TRUE(number > highest || deletedRowIds.count(static_cast<std::int64_t>(number))) << number;
  }
  const auto liveRows = Rows(s_modern, "messages", "message", false);
  for (const GroundTruthRecord* row : liveRows) {
    const std::string start = std::to_string(row->rowId) + ",\"" + row->Text("guid") + "\"";
    EXPECT_EQ(lineStarts.count(start), 1u) << start;
  }
  EXPECT_EQ(lines.size(), liveRows.size() + deletedLines);
  EXPECT_GT(deletedLines, 0u);

  // Appending: a second dump adds the same number of lines.
  ASSERT_FALSE(DumpMessageRows(Modern(fixtures::kSmsDatabase), csv.string(), highest));
  EXPECT_EQ(ReadLines(csv).size(), 2 * lines.size());
  EXPECT_NE(DumpMessageRows(Modern(fixtures::kSmsDatabase), (s_root / "no-such-folder" / "sms.csv").string(), highest),
            std::error_code{});
}

TEST_F(SampleBackup, ContactRowFileHasEveryLiveRow) {
  const fs::path csv = s_root / "Contacts.csv";
  const std::uint64_t highest = 20000;
  ASSERT_FALSE(DumpContactRows(Modern(fixtures::kAddressBookDatabase), csv.string(), highest));
  const std::vector<std::string> lines = ReadLines(csv);
  std::set<std::uint64_t> deletedRowIds;
  for (const GroundTruthRecord* row : Rows(s_modern, "contacts", "ABPersonFullTextSearch", true))
    deletedRowIds.insert(static_cast<std::uint64_t>(row->rowId));
  std::set<std::string> lineStarts;
  std::size_t deletedLines = 0;
  for (const std::string& line : lines) {
    lineStarts.insert(line.substr(0, line.find(',', line.find(',') + 1)));
    // A deleted row rebuilt from free space is numbered above the highest
    // row id, or, when it starts at column 1, begins with that column's
    // text; a cell of a free page keeps its own row id.
    const bool numbered = !line.empty() && line[0] >= '0' && line[0] <= '9';
    const std::uint64_t number = numbered ? std::stoull(line.substr(0, line.find(','))) : 0;
    if (!numbered || number > highest || deletedRowIds.count(number)) ++deletedLines;
  }
  const auto liveRows = Rows(s_modern, "contacts", "ABPersonFullTextSearch", false);
  for (const GroundTruthRecord* row : liveRows) {
    const std::string first = row->Text("First");
    std::string quoted;
    AppendQuotedCsvField(quoted, first);
    const std::string start = std::to_string(row->rowId) + "," + (first.empty() ? "NULL" : quoted);
    EXPECT_EQ(lineStarts.count(start), 1u) << start;
  }
  EXPECT_EQ(lines.size(), liveRows.size() + deletedLines);
}

}  // namespace
}  // namespace scrivel::apps
