#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <random>

#include "core/common/result_codes.h"
#include "core/export/csv_field.h"
#include "core/export/export_template.h"
#include "core/export/file_names.h"
#include "core/export/html_text.h"
#include "core/export/output_file.h"
#include "html_check.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

TEST(HtmlTextTest, EscapesMarkupAndShowsLineBreaks) {
  const struct {
    const char* in;
    const char* escaped;
    const char* text;
  } cases[] = {
      {"plain", "plain", "plain"},
      {"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;",
       "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
      {"a & \"b\"", "a &amp; &quot;b&quot;", "a &amp; &quot;b&quot;"},
      {"&amp;", "&amp;amp;", "&amp;amp;"},
      {"one\ntwo\r\nthree\rfour", "one\ntwo\r\nthree\rfour", "one<br />two<br />three<br />four"},
      {"bad \xff byte", "bad \xEF\xBF\xBD byte", "bad \xEF\xBF\xBD byte"},
      {"nul\x01" "bell\x07" "esc\x1b[0m\ttab", "nul\xEF\xBF\xBD" "bell\xEF\xBF\xBD" "esc\xEF\xBF\xBD[0m\ttab",
       "nul\xEF\xBF\xBD" "bell\xEF\xBF\xBD" "esc\xEF\xBF\xBD[0m\ttab"},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(EscapeHtml(row.in), row.escaped) << row.in;
    EXPECT_EQ(HtmlText(row.in), row.text) << row.in;
    EXPECT_EQ(testing::CheckHtml("<p>" + HtmlText(row.in) + "</p>"), "") << row.in;
  }
}

TEST(CsvFieldTest, QuotesEveryFieldDisarmsFormulasAndKeepsTextReadable) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"", "\"\""},
      {"plain text", "\"plain text\""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"it's", "\"it's\""},
      {"=cmd|' /C calc'!A0", "\"'=cmd|' /C calc'!A0\""},
      {"+15550001", "\"'+15550001\""},
      {"\tindented", "\"'\tindented\""},
      {std::string_view("nul\0here\x1b[2J", 12), "\"nul\xEF\xBF\xBDhere\xEF\xBF\xBD[2J\""},
      {"bad \xff byte", "\"bad \xEF\xBF\xBD byte\""},
  };
  for (const auto& row : cases) EXPECT_EQ(CsvField(row.in), row.out) << row.in;
}

TEST(SafeFileNameTest, KeepsNamesInsideTheirFolder) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"Ann Lee", "Ann Lee"},
      {"../../x", ".._.._x"},
      {"..", "__"},
      {".", "_"},
      {"", "_"},
      {"a/b\\c", "a_b_c"},
      {std::string("nul\0byte", 8), "nul_byte"},
      {"tab\there\x7f", "tab_here_"},
      {"Zoë 😀", "Zoë 😀"},
  };
  for (const auto& row : cases) EXPECT_EQ(SafeFileName(row.in), row.out) << row.in;

  // Long names are cut at a character boundary, leaving room for the suffix
  // and a "(n)" counter.
  std::string longName;
  for (int i = 0; i < 200; ++i) longName += "é";  // 400 bytes
  const std::string suffix = "-20240102030405";
  const std::string cut = SafeFileName(longName, suffix);
  EXPECT_LE(cut.size() + suffix.size() + kUniqueCounterRoom, kFileNameMax);
  EXPECT_EQ(cut.size() % 2, 0u);  // no half of a two-byte character
  EXPECT_EQ(longName.compare(0, cut.size(), cut), 0);
}

class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("scrivel-names-" + std::to_string(std::random_device{}()));
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string At(const std::string& name) const { return (m_dir / name).string(); }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(At(name), std::ios::binary) << content;
  }
  fs::path m_dir;
};

TEST_F(FolderTest, MakeUniquePathCountsUpBeforeTheExtension) {
  EXPECT_EQ(MakeUniquePath(At("IMG_0001.JPG")), At("IMG_0001.JPG"));
  Write("IMG_0001.JPG", "x");
  EXPECT_EQ(MakeUniquePath(At("IMG_0001.JPG")), At("IMG_0001(1).JPG"));
  Write("IMG_0001(1).JPG", "x");
  EXPECT_EQ(MakeUniquePath(At("IMG_0001.JPG")), At("IMG_0001(2).JPG"));
  // A folder of that name counts as taken; a name without extension gets
  // the counter at its end.
  fs::create_directory(At("notes"));
  EXPECT_EQ(MakeUniquePath(At("notes")), At("notes(1)"));
  // A dangling link counts as taken too.
  fs::create_symlink(At("missing-target"), At("link.txt"));
  EXPECT_EQ(MakeUniquePath(At("link.txt")), At("link(1).txt"));
}

TEST_F(FolderTest, UniquePathPickerGivesTheNamesOfMakeUniquePath) {
  // Names taken before the run, and a run of files of one name created one
  // after the other: the picker skips what it handed out before, yet gives
  // back a counter whose file was never created (a failed copy removes it).
  Write("IMG_0001.JPG", "x");
  Write("IMG_0001(2).JPG", "x");
  UniquePathPicker picker;
  const char* expected[] = {"IMG_0001(1).JPG", "IMG_0001(3).JPG", "IMG_0001(4).JPG"};
  for (const char* name : expected) {
    const std::string picked = picker.Pick(At("IMG_0001.JPG"));
    EXPECT_EQ(picked, MakeUniquePath(At("IMG_0001.JPG")));
    EXPECT_EQ(picked, At(name));
    Write(name, "x");
  }
  EXPECT_EQ(picker.Pick(At("IMG_0001.JPG")), At("IMG_0001(5).JPG"));  // not created
  EXPECT_EQ(picker.Pick(At("IMG_0001.JPG")), At("IMG_0001(5).JPG"));
  // A free name is used as it stands, also after it was handed out once.
  EXPECT_EQ(picker.Pick(At("other.txt")), At("other.txt"));
  EXPECT_EQ(picker.Pick(At("other.txt")), At("other.txt"));
  // A name picked for a file written later is taken from then on, for
  // either kind of pick, though no file is there yet.
  EXPECT_EQ(picker.PickForLater(At("chat.txt")), At("chat.txt"));
  EXPECT_EQ(picker.PickForLater(At("chat.txt")), At("chat(1).txt"));
  EXPECT_EQ(picker.Pick(At("chat.txt")), At("chat(2).txt"));
  EXPECT_FALSE(fs::exists(At("chat.txt")));
}

TEST_F(FolderTest, OutputFileKeepsEveryByteInOrderAcrossItsBlocks) {
  // Many small pieces, text whose CR LF pairs fall across calls, and pieces
  // larger than one write block, mixed.
  std::string expected;
  OutputFile file;
  ASSERT_FALSE(file.Open(At("out.txt")));
  file.WriteByteOrderMark();
  expected += "\xEF\xBB\xBF";
  const std::string large(700 * 1024, 'L');
  for (int i = 0; i < 40000; ++i) {
    file.WriteText("line " + std::to_string(i) + "\r");
    file.WriteText("\nnext\n");
    expected += "line " + std::to_string(i) + "\r\nnext\r\n";
    if (i % 10000 == 0) {
      file.Write(large);
      expected += large;
    }
  }
  ASSERT_FALSE(file.Close());
  std::ifstream in(At("out.txt"), std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

TEST(OutputFileTest, AWriteThatFailsLaterIsStillReported) {
  // The bytes reach the device only when the file is closed; the failure
  // must come back from Close all the same.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  OutputFile file;
  ASSERT_FALSE(file.Open("/dev/full"));
  file.Write("a few bytes");
  EXPECT_EQ(file.Close(), std::errc::no_space_on_device);
  EXPECT_EQ(WriteWholeFile("/dev/full", {"head", "rows", "tail"}), std::errc::no_space_on_device);
  EXPECT_TRUE(WriteWholeFile((fs::temp_directory_path() / "scrivel-no-such-folder" / "x.html").string(), {"x"}));
}

TEST_F(FolderTest, TemplatesSplitAtTheirContentPlaceholder) {
  Write("double.html", "<title>{|title|}</title><h1>{|title|}</h1>{|content|}<p>{|title|}</p>");
  ExportTemplate page;
  ASSERT_EQ(LoadExportTemplate(At("double.html"), "Calls of A&amp;B", &page), std::error_code{});
  EXPECT_EQ(page.head, "<title>Calls of A&amp;B</title><h1>Calls of A&amp;B</h1>");
  EXPECT_EQ(page.tail, "<p>{|title|}</p>");  // a title after the content stays

  Write("no-content.html", "<html>{|title|}</html>");
  EXPECT_EQ(LoadExportTemplate(At("no-content.html"), "x", &page), kBadFile);
  EXPECT_EQ(LoadExportTemplate(At("missing.html"), "x", &page), kBadFile);
  EXPECT_TRUE(page.head.empty());

  EXPECT_EQ(ReplaceAll("{|person|}{|person|}", "{|person|}", "{|person|} x"), "{|person|} x{|person|} x");
}

TEST(ShippedTemplatesTest, EveryTemplateIsWellFormedAndHasItsPlaceholders) {
  const fs::path folder = fs::path(SCRIVEL_SOURCE_DIR) / "resources" / "template";
  const struct {
    const char* file;
    bool person;
    bool title;  // export pages carry a title and the colour of deleted records; the print page neither
  } templates[] = {
      {"CallHistory.html", false, true}, {"Notes.html", false, true}, {"contacts.html", false, true},
      {"Sms.html", true, true},          {"WhatsApp.html", true, true}, {"Print.html", false, false},
  };
  for (const auto& entry : templates) {
    ExportTemplate page;
    ASSERT_FALSE(LoadExportTemplate((folder / entry.file).string(), "Title", &page)) << entry.file;
    EXPECT_EQ(page.raw.find("{|content|}"), page.raw.rfind("{|content|}")) << entry.file;
    EXPECT_EQ(page.head.find("{|title|}"), std::string::npos) << entry.file;
    EXPECT_EQ(entry.title, page.raw.find("{|title|}") != std::string::npos) << entry.file;
    EXPECT_EQ(entry.person, page.head.find("{|person|}") != std::string::npos) << entry.file;
    EXPECT_EQ(entry.title, page.raw.find("#F37302") != std::string::npos) << entry.file;
    const std::string filled = ReplaceAll(page.head, "{|person|}", "Name: A") + page.tail;
    EXPECT_EQ(testing::CheckHtml(filled), "") << entry.file;
  }
}

}  // namespace
}  // namespace scrivel
