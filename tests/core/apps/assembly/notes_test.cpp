// Note pairing and the cleaning of their HTML.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/apps/notes.h"
#include "core/apps/notes_text.h"
#include "fixtures/database_builder.h"
#include "fixtures/embedded_schemas.h"
#include "fixtures/sql_values.h"

namespace scrivel::apps {
namespace {

NoteItem Body(int key, std::string content, int deleted = 0) {
  NoteItem body;
  body.deleted = deleted;
  body.noteKey = key;
  body.content = std::move(content);
  return body;
}

NoteItem Note(int key, std::string title, std::string date, int deleted = 0) {
  NoteItem note;
  note.deleted = deleted;
  note.noteKey = key;
  note.title = std::move(title);
  note.date = std::move(date);
  return note;
}

TEST(CleanNoteHtml, DecodesReferencesThenTurnsTagsIntoLineBreaks) {
  struct Case {
    const char* html;
    const char* text;
  };
  const Case cases[] = {
      {"<div>first</div><div>second<br></div>", "\nfirst\nsecond\n"},
      {"Tom &amp; Jerry&#39;s &quot;show&quot;", "Tom & Jerry's \"show\""},
      {"a&lt;b&gt;c&nbsp;d", "a<b>c d"},
      // "&amp;" is decoded last, so its result is not decoded again.
      {"&amp;lt;", "&lt;"},
      // The references are decoded first, so an encoded tag becomes a tag too.
      {"x&lt;div&gt;y", "x\ny"},
      // Exact matches only.
      {"<DIV>a</DIV><br/>", "<DIV>a</DIV><br/>"},
      {"<br><br>", "\n\n"},
      {"</div>", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string text = c.html;
    CleanNoteHtml(text);
    EXPECT_EQ(text, c.text) << "html: " << c.html;
  }
}

TEST(AssembleNotes, PairsBodiesWithTheFirstUnusedNoteOfTheirKey) {
  const std::vector<NoteItem> bodies = {
      Body(1, "<div>one</div>"),
      Body(2, "two"),
      Body(2, "two, older copy", 1),
      Body(3, "</div>"),  // no title; its content is cleaned to nothing but it stays
      Body(4, ""),        // nothing at all: dropped
  };
  const std::vector<NoteItem> notes = {
      Note(2, "Second", "2020-02-02 00:00:00"),
      Note(1, "First &amp; best", "2020-01-01 00:00:00"),
      Note(5, "No body", "2020-05-05 00:00:00", 1),
      Note(2, "Second again", "2020-02-03 00:00:00"),
      Note(2, "Second, third record", "2020-02-04 00:00:00"),
      Note(6, "", "2020-06-06 00:00:00"),  // no title, no body: dropped
  };
  const std::vector<NoteItem> result = AssembleNotes(bodies, notes);
  ASSERT_EQ(result.size(), 6u);
  EXPECT_EQ(result[0].title, "First & best");
  EXPECT_EQ(result[0].content, "\none");
  EXPECT_EQ(result[0].date, "2020-01-01 00:00:00");  // the body takes its note's date with the title
  EXPECT_EQ(result[1].title, "Second");
  EXPECT_EQ(result[2].title, "Second again");
  EXPECT_EQ(result[2].deleted, 1);  // the body's own flag
  EXPECT_EQ(result[3].title, "");
  EXPECT_EQ(result[3].content, "");
  EXPECT_EQ(result[4].title, "No body");
  EXPECT_EQ(result[4].date, "2020-05-05 00:00:00");
  EXPECT_EQ(result[4].content, "");
  EXPECT_EQ(result[4].deleted, 1);
  EXPECT_EQ(result[5].title, "Second, third record");
}

// A deleted row can be found twice (an old copy in a page's gap and its
// freed page on the freelist): one note, not two. Live rows are never
// merged, and deleted records that differ in anything stay apart.
TEST(AssembleNotes, DeletedRowFoundTwiceIsOneNote) {
  const std::vector<NoteItem> bodies = {
      Body(7, "seven", 1),
      Body(7, "seven", 1),  // the same deleted body again
      Body(8, "eight"),
      Body(8, "eight"),     // two live rows: both stay
  };
  const std::vector<NoteItem> notes = {
      Note(7, "Seven", "2020-07-07 00:00:00", 1),
      Note(9, "Nine", "2020-09-09 00:00:00", 1),
      Note(9, "Nine", "2020-09-09 00:00:00", 1),  // the same deleted title again: no body, listed once
      Note(9, "Nine", "2020-09-10 00:00:00", 1),  // another date: another record
  };
  const std::vector<NoteItem> result = AssembleNotes(bodies, notes);
  ASSERT_EQ(result.size(), 5u);
  EXPECT_EQ(result[0].title, "Seven");
  EXPECT_EQ(result[0].content, "seven");
  EXPECT_EQ(result[1].content, "eight");
  EXPECT_EQ(result[2].content, "eight");
  EXPECT_EQ(result[3].date, "2020-09-09 00:00:00");
  EXPECT_EQ(result[4].date, "2020-09-10 00:00:00");
}

TEST(ParseNotes, CoreDataDatesCountFrom2001) {
  // "ZNOTE" is a Core Data table: ZCREATIONDATE holds seconds since
  // 2001-01-01 UTC, as an integer or a float (integer part used).
  setenv("TZ", "UTC", 1);
  tzset();
  namespace fs = std::filesystem;
  using namespace fixtures;
  const fs::path dir = fs::temp_directory_path() / ("scrivel-notes-" + std::to_string(getpid()));
  fs::create_directories(dir);
  DatabaseSpec definition;
  definition.ddl = std::string(EmbeddedSchema("reference-notes.sql"));
  definition.inserts.push_back({"ZNOTE",
                          {"Z_PK", "ZBODY", "ZCREATIONDATE", "ZTITLE"},
                          {{SqlInt(1), SqlInt(1), SqlInt(600000000), SqlText("Integer date")},
                           {SqlInt(2), SqlInt(2), SqlReal(600000000.75), SqlText("Float date")}}});
  definition.inserts.push_back({"ZNOTEBODY", {"Z_PK", "ZOWNER", "ZCONTENT"}, {{SqlInt(1), SqlInt(1), SqlText("<div>x</div>")}}});
  const fs::path path = dir / "notes.sqlite";
  ASSERT_FALSE(BuildDatabase(path, definition, nullptr));

  std::vector<NoteItem> notes;
  ASSERT_FALSE(ParseNotes(path.string(), &notes));
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].title, "Integer date");  // the body, with its note's title
  EXPECT_EQ(notes[0].content, "\nx");
  EXPECT_EQ(notes[0].date, "2020-01-06 10:40:00");
  EXPECT_EQ(notes[1].title, "Float date");  // a note without a body
  EXPECT_EQ(notes[1].date, "2020-01-06 10:40:00");
  fs::remove_all(dir);
}

TEST(ParseNotes, FileThatIsNotADatabase) {
  std::vector<NoteItem> notes = {Body(1, "kept")};
  EXPECT_EQ(ParseNotes(std::string(SCRIVEL_SOURCE_DIR) + "/CMakeLists.txt", &notes), kBadFile);
  EXPECT_EQ(notes.size(), 1u);
}

}  // namespace
}  // namespace scrivel::apps
