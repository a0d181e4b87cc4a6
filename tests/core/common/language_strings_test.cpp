#include "core/common/language_strings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "core/common/profile_file.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

// An application folder in a temporary directory, with verbs to write its
// config.ini and language files.
class LanguageStringsTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(m_dir / "Languages"); }

  std::string appDirectory() const { return m_dir.string() + "/"; }
  void writeFile(const fs::path& relative, const std::string& bytes) {
    std::ofstream(m_dir / relative, std::ios::binary) << bytes;
  }
  void writeLanguage(const std::string& name, const std::string& text) { writeFile("Languages/" + name + ".ini", text); }

  fixtures::TemporaryFolder m_folder{"languages"};
  const fs::path m_dir = m_folder.Path();
};

TEST_F(LanguageStringsTest, LineRulesAndFirstKeyWins) {
  writeLanguage("English",
                "[Messages]\n"
                "MSG0001=a=b\r\n"
                "MSG0002=first\n"
                "MSG0002=second\n"
                "bare line\n"
                "[Messages]\n"
                "MSG0002=third\n"
                "MSG0003=later section\n");
  CLanguageStrings strings(appDirectory());
  EXPECT_EQ(strings.currentLanguage(), "English");  // no config.ini
  EXPECT_EQ(strings.Message("MSG0001"), "a=b");
  EXPECT_EQ(strings.Message("MSG0002"), "first");
  EXPECT_EQ(strings.Message("bare line"), "bare line");
  EXPECT_EQ(strings.Message("MSG0003"), "later section");
}

TEST_F(LanguageStringsTest, MissingIdIsAddedEmpty) {
  writeLanguage("English", "[Messages]\nMSG0001=x\n");
  CLanguageStrings strings(appDirectory());
  EXPECT_EQ(strings.Message("MSG9999"), "");
  EXPECT_EQ(strings.GetSection("Messages").count("MSG9999"), 1u);
}

TEST_F(LanguageStringsTest, MissingOrEmptyFilesGiveEmptySections) {
  writeFile("config.ini", "[DefaultLanguage]\nDefault=Klingon\n");
  CLanguageStrings strings(appDirectory());
  EXPECT_EQ(strings.currentLanguage(), "Klingon");
  EXPECT_TRUE(strings.GetSection("Messages").empty());
  EXPECT_TRUE(strings.languages().empty());
}

TEST_F(LanguageStringsTest, ReadsUtf16AndBomPrefixedUtf8Files) {
  writeFile("config.ini", "\xEF\xBB\xBF[DefaultLanguage]\nDefault=Deutsch\n[Languages]\nEnglish=English\nDeutsch=Deutsch\n");
  // "[Messages]\nA=\u00FC" as UTF-16LE with its byte-order mark.
  std::string utf16 = "\xFF\xFE";
  for (char16_t unit : std::u16string(u"[Messages]\nA=\u00FC\n")) {
    utf16 += static_cast<char>(unit & 0xFF);
    utf16 += static_cast<char>(unit >> 8);
  }
  writeLanguage("Deutsch", utf16);
  CLanguageStrings strings(appDirectory());
  EXPECT_EQ(strings.currentLanguage(), "Deutsch");
  ASSERT_EQ(strings.languages().size(), 2u);
  EXPECT_EQ(strings.languages()[1].first, "Deutsch");
  EXPECT_EQ(strings.Message("A"), "\xC3\xBC");
}

TEST_F(LanguageStringsTest, ChangeLanguageRefillsMapsHandedOutBefore) {
  writeFile("config.ini", "; comment kept\n[DefaultLanguage]\nDefault=English\n[Languages]\nEnglish=English\n");
  writeLanguage("English", "[Messages]\nMSG0403=Information\nMSG0900=only English\n");
  writeLanguage("Deutsch", "[Messages]\nMSG0403=Hinweis\n");
  CLanguageStrings strings(appDirectory());
  const CLanguageStrings::TextMap& messages = strings.GetSection("Messages");
  EXPECT_EQ(messages.at("MSG0403"), "Information");

  strings.ChangeLanguage("Deutsch");
  EXPECT_EQ(strings.currentLanguage(), "Deutsch");
  EXPECT_EQ(messages.at("MSG0403"), "Hinweis");
  EXPECT_EQ(messages.count("MSG0900"), 0u);
  // The choice is stored, and the rest of config.ini is kept.
  const std::string config = ReadProfileFileText(m_dir / "config.ini");
  EXPECT_NE(config.find("Default=Deutsch"), std::string::npos);
  EXPECT_NE(config.find("; comment kept"), std::string::npos);
  EXPECT_NE(config.find("English=English"), std::string::npos);
  EXPECT_EQ(CLanguageStrings(appDirectory()).currentLanguage(), "Deutsch");
}

// The shipped language files: every message id the program shows has a
// text, and the ids used as printf formats take the arguments they are given.
TEST_F(LanguageStringsTest, ShippedLanguagesHaveEveryMessage) {
  const char* ids[] = {"MSG0201", "MSG0301", "MSG0302", "MSG0401", "MSG0402", "MSG0403", "MSG0404", "MSG0405",
                       "MSG0501", "MSG0502", "MSG0503", "MSG0504", "MSG0506", "MSG0507", "MSG0508", "MSG0509",
                       "MSG0510", "MSG0511", "MSG0514", "MSG0601", "MSG0602", "MSG0901", "MSG0902", "MSG0903",
                       "MSG1101", "MSG1102", "MSG1103", "MSG1104", "MSG1207", "MSG1209"};
  const fs::path resources = fs::path(SCRIVEL_SOURCE_DIR) / "resources";
  fs::copy(resources / "Languages", m_dir / "Languages", fs::copy_options::recursive);
  fs::copy_file(resources / "config.ini", m_dir / "config.ini");
  CLanguageStrings strings(appDirectory());
  ASSERT_GE(strings.languages().size(), 2u);
  const std::regex conversion("%[-+ #0-9.]*[a-zA-Z%]");
  auto conversions = [&](const std::string& text) {
    std::string found;
    for (std::sregex_iterator it(text.begin(), text.end(), conversion), end; it != end; ++it) found += it->str();
    return found;
  };
  for (const auto& [language, display] : strings.languages()) {
    SCOPED_TRACE(language);
    strings.ChangeLanguage(language);
    ASSERT_EQ(strings.currentLanguage(), language);
    for (const std::string id : ids) {
      const std::string text = strings.Message(id);
      EXPECT_FALSE(text.empty()) << id;
      const std::string expected = id == "MSG0514" ? "%s%d%s%d" : id == "MSG1102" ? "%d%d%d%d" : "";
      EXPECT_EQ(conversions(text), expected) << id;
    }
  }
}

}  // namespace
}  // namespace scrivel
